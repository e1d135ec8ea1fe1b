// A definition written as a pyiso8583 field dictionary in JSON, which json.load hands to
// iso8583.decode and encode as it is. Each field is written as pyiso8583 can hold it, then read
// back as the reader would: whatever would read back otherwise is said.
#include <nlohmann/json.hpp>
#include <optional>

#include "decode/codecs.h"
#include "interop/pyiso8583_format.h"
#include "support/text.h"

namespace pyiso {
namespace {

using Json = nlohmann::ordered_json;

std::string Number(int n) {
    return std::to_string(n);
}

Json EntryOf(const FieldEntry& s) {
    Json j;
    j["data_enc"] = s.dataEnc;
    j["len_enc"] = s.lenEnc;
    j["len_type"] = s.lenType;
    j["max_len"] = s.maxLen;
    if (s.nibbles) j["len_count"] = "nibbles";
    if (s.leftPad != 0) j["left_pad"] = std::string(1, s.leftPad);
    if (s.rightPad != 0) j["right_pad"] = std::string(1, s.rightPad);
    j["desc"] = s.desc;
    return j;
}

FieldEntry Framing(const char* dataEnc, const char* lenEnc, int maxLen, const char* desc) {
    FieldEntry s;
    s.dataEnc = dataEnc;
    s.lenEnc = lenEnc;
    s.maxLen = maxLen;
    s.desc = desc;
    return s;
}

// A reading in the words of the definition file.
std::string Describe(const FieldReading& r) {
    if (r.type == FieldType::U) return "nothing (undefined)";
    const FieldSettings& s = r.own;
    std::string out = std::string(NameOf(r.type)) + " " + Number(r.size);
    std::string with;
    const auto add = [&with](const std::string& item) {
        with += (with.empty() ? "" : ", ") + item;
    };
    if (s.numEnc) add(std::string("NUM_Enc ") + NameOf(*s.numEnc));
    if (s.binEnc) add(std::string("BIN_Enc ") + NameOf(*s.binEnc));
    if (s.charset) add(std::string("CHR_Enc ") + NameOf(*s.charset));
    if (s.lenEnc) add(std::string("LEN_Enc ") + NameOf(*s.lenEnc) + " of " + Number(r.sizeLen));
    if (s.padSide) add(*s.padSide == PadSide::kLeft ? "PAD LEFT" : "PAD RIGHT");
    if (s.padNibble) add(*s.padNibble == 0 ? "PAD_NIBBLE 0" : "PAD_NIBBLE F");
    if (s.prefixNibbles) add("LEN_NIBBLES");
    if (s.prefixLeftAligned) add("LEN_LEFT");
    if (s.prefixNumber) add("LEN_WHOLE");
    return with.empty() ? out : out + " (" + with + ")";
}

class FieldWriter {
  public:
    FieldWriter(const ProtocolDef& def, int n, InteropNotes& notes)
        : def(def), n(n), r(ReadingOf(def, n)), notes(notes), lead("field " + Number(n) + ": ") {
        charset = r.own.charset.value_or(def.chrEnc);
    }

    // The entry, or none when the field cannot be written at all.
    std::optional<FieldEntry> Write() {
        if (r.size < 1 || r.size > kMaxLen || r.sizeLen < 0 || r.sizeLen > kMaxPrefixUnits) {
            Note("size " + Number(r.size) + " with a length of " + Number(r.sizeLen) +
                 " units is beyond what is written (1 to " + Number(kMaxLen) + ", 0 to " +
                 Number(kMaxPrefixUnits) + "); left out");
            return std::nullopt;
        }
        fieldEntry.desc = def.fields[n].description;
        WriteData();
        WriteLength();
        CheckReadBack();
        return fieldEntry;
    }

  private:
    void Note(const std::string& text) {
        notes.push_back(lead + text);
        noted = true;
    }

    void Text(int maxLen) {
        fieldEntry.dataEnc = CodecOf(charset);
        fieldEntry.maxLen = maxLen;
    }

    void Bytes(int maxLen) {
        fieldEntry.dataEnc = "b";
        fieldEntry.maxLen = maxLen;
    }

    // Packed digits or track data, counted in nibbles, the pad where the field has it.
    void Packed() {
        Bytes(r.size);
        fieldEntry.nibbles = true;
        if (!r.own.padSide) {
            Note(
                "packed track data is read here with a pad at either end; written with "
                "right_pad F, as track data is padded");
        }
        const char pad = r.own.padNibble.value_or(0xF) == 0 ? '0' : 'F';
        (r.own.padSide.value_or(PadSide::kRight) == PadSide::kLeft ? fieldEntry.leftPad
                                                                   : fieldEntry.rightPad) = pad;
    }

    void WriteData() {
        const std::string what = std::string(NameOf(r.type)) + " of " + Number(r.size);
        switch (r.type) {
            case FieldType::N:
                switch (*r.own.numEnc) {
                    case Encoding::PBCD:
                        return Packed();
                    case Encoding::HEX:
                        Text((DecimalBits(r.size) + 3) / 4);
                        return Note(what +
                                    " digits in hexadecimal characters has no pyiso8583 "
                                    "form; written as text of " +
                                    Number(static_cast<int>(fieldEntry.maxLen)) + " characters");
                    case Encoding::BIGEND:
                        Bytes((DecimalBits(r.size) + 7) / 8);
                        return Note(what +
                                    " digits as a binary number has no pyiso8583 form; "
                                    "written as " +
                                    Number(static_cast<int>(fieldEntry.maxLen)) + " bytes");
                    default:
                        return Text(r.size);
                }
            case FieldType::B:
            case FieldType::Z:
                switch (*r.own.binEnc) {
                    case Encoding::PBCD:
                        return Packed();
                    case Encoding::HEX:
                        Text(2 * r.size);
                        return Note(what +
                                    " bytes in hexadecimal characters is text to "
                                    "pyiso8583; written as " +
                                    Number(2 * r.size) + " characters of text");
                    case Encoding::CHAR:
                        Text(8 * r.size);
                        return Note(what +
                                    " bytes in bit characters is text to pyiso8583; "
                                    "written as " +
                                    Number(8 * r.size) + " characters of text");
                    default:
                        if (!r.own.prefixNibbles) return Bytes(r.size);
                        Bytes(2 * r.size);
                        fieldEntry.nibbles = true;
                        return Note(
                            "its length counts nibbles, but pyiso8583 reads an odd count "
                            "only with a pad, which binary data has none of; an even "
                            "count reads alike");
                }
            default:
                return Text(r.size);
        }
    }

    void WriteLength() {
        fieldEntry.lenEnc = CodecOf(charset);
        fieldEntry.lenType = r.sizeLen;
        if (r.sizeLen == 0) return;
        const std::string units = Number(r.sizeLen);
        switch (*r.own.lenEnc) {
            case Encoding::HEX:
                return Note(
                    "a length in hexadecimal characters has no pyiso8583 form; written "
                    "as decimal characters");
            case Encoding::PBCD:
                fieldEntry.lenEnc = "bcd";
                if (r.own.prefixLeftAligned) {
                    Note(
                        "a packed length aligned on the left (LEN_LEFT) has no pyiso8583 form; "
                        "written aligned on the right");
                }
                return;
            case Encoding::BIGEND:
                fieldEntry.lenEnc = "b";
                if (r.sizeLen >= 3 && (!r.own.prefixNumber || r.sizeLen > 4)) {
                    Note("its binary length of " + units +
                         " bytes is read here by its first byte alone; pyiso8583 reads it "
                         "whole");
                }
                return;
            default:
                return;
        }
    }

    // Whatever reads back otherwise and no note has said yet.
    void CheckReadBack() {
        if (noted) return;
        FieldReading back;
        InteropNotes ignored;
        InexactCodecs inexact;
        if (!ReadField(n, fieldEntry, back, ignored, inexact)) back = FieldReading{};
        if (back == r) return;
        // Text read back as N or as ANS, bytes as B or Z: only the type differs.
        FieldReading retyped = back;
        retyped.type = r.type;
        retyped.own.numEnc = r.own.numEnc;
        if (back.type != FieldType::U && retyped == r) {
            return Note(std::string("type ") + NameOf(r.type) +
                        " is not kept, as pyiso8583 has no types; read back as " +
                        NameOf(back.type));
        }
        Note("pyiso8583 cannot hold " + Describe(r) + "; read back as " + Describe(back));
    }

    const ProtocolDef& def;
    const int n;
    const FieldReading r;
    InteropNotes& notes;
    const std::string lead;
    Encoding charset = Encoding::ASCII;
    FieldEntry fieldEntry;
    bool noted = false;
};

bool HasSubfields(const ProtocolDef& def, int n) {
    if (def.fields[n].subfield) return true;
    const SubfieldNode* node = def.subfields.Field(n);
    return node != nullptr &&
           (node->structure.layout != SubfieldLayout::kNone || !node->children.empty());
}

bool IsUtf8(const char* text) {
    std::uint32_t codePoint = 0;
    for (int len; (len = DecodeUtf8(text, &codePoint)) != 0; text += len) {
        if (len < 0) return false;
    }
    return true;
}

int MessageCount(const ProtocolDef& def) {
    int count = 0;
    for (int i = 0; i < def.messages.SlotCount(); ++i)
        count += def.messages.At(i) != nullptr ? 1 : 0;
    return count;
}

void NoteWhatHasNoPlace(const ProtocolDef& def, InteropNotes& notes) {
    if (def.name[0] != '\0') {
        notes.push_back(std::string("the name \"") + def.name +
                        "\" is not carried: a pyiso8583 field dictionary has none");
    }
    if (const int count = MessageCount(def); count > 0) {
        notes.push_back("the " + Number(count) + " message definition" +
                        (count > 1 ? "s are" : " is") +
                        " not carried: a pyiso8583 field dictionary has none");
    }
    if (!def.options.emptyFields) {
        notes.push_back(
            "pyiso8583 reads a variable field of length 0 as an empty value, which "
            "this definition refuses");
    }
    if (def.options.header == 0) {
        notes.push_back("h: a header of 0 units is written as none");
    }
}

std::string OneLine(const Json& entry) {
    std::string out = "{";
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        if (out.size() > 1) out += ", ";
        out += Json(it.key()).dump() + ": " +
               it.value().dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    return out + "}";
}

}  // namespace
}  // namespace pyiso

void ExportPyiso8583(const ProtocolDef& def, std::string& out, InteropNotes& notes) {
    using namespace pyiso;
    out.clear();
    NoteWhatHasNoPlace(def, notes);
    std::vector<std::pair<std::string, Json>> entries;
    // pyiso8583 looks the header entry up in every message: it is written even when empty.
    FieldEntry header =
        Framing("b", "ascii", def.options.header > 0 ? def.options.header : 0, "Message Header");
    entries.emplace_back("h", EntryOf(header));
    const char* codec = CodecOf(def.chrEnc);
    entries.emplace_back(
        "t", EntryOf(def.mtiEnc == Encoding::PBCD ? Framing("b", codec, 2, "Message Type")
                                                  : Framing(codec, codec, 4, "Message Type")));
    if (def.bmpEnc == Encoding::CHAR) {
        notes.push_back(
            "p: a bitmap in bit characters has no pyiso8583 form; written as "
            "hexadecimal characters");
    }
    if (def.options.fixedBitmap) {
        notes.push_back(
            "1: pyiso8583 reads the secondary bitmap only when bit 1 is set, never always "
            "(OPTION BITMAP FIXED128); not carried");
    }
    const bool binaryBitmap = def.bmpEnc != Encoding::HEX && def.bmpEnc != Encoding::CHAR;
    const FieldEntry primary = binaryBitmap ? Framing("b", codec, 8, "Bitmap, Primary")
                                            : Framing(codec, codec, 16, "Bitmap, Primary");
    entries.emplace_back("p", EntryOf(primary));
    bool beyond64 = false;
    for (int n = 65; n <= kLastField; ++n)
        beyond64 = beyond64 || def.fields[n].type != FieldType::U;
    if (beyond64) {
        FieldEntry secondary = primary;
        secondary.desc = "Bitmap, Secondary";
        entries.emplace_back("1", EntryOf(secondary));
    }
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (def.fields[n].type == FieldType::U) continue;
        const std::optional<FieldEntry> fieldEntry = FieldWriter(def, n, notes).Write();
        if (fieldEntry) entries.emplace_back(std::to_string(n), EntryOf(*fieldEntry));
        if (HasSubfields(def, n)) {
            notes.push_back("field " + std::to_string(n) +
                            ": its subfields are not carried: pyiso8583 has none");
        }
        if (fieldEntry && !IsUtf8(def.fields[n].description)) {
            notes.push_back("field " + std::to_string(n) +
                            ": its description is not UTF-8; written with U+FFFD for the bytes "
                            "that are not");
        }
    }
    out = "{\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out += "  " + Json(entries[i].first).dump() + ": " + OneLine(entries[i].second) +
               (i + 1 < entries.size() ? ",\n" : "\n");
    }
    out += "}\n";
}
