// Writing a definition as a moov-io/iso8583 JSON field list that moov's builder loads: the MTI as
// field 0, the bitmap as field 1, then each defined field with its own encodings (moov has no
// dialect), subfield structures as composites. What moov cannot hold is said in a note; a field
// whose wire form moov cannot describe is left out, a structure it cannot describe leaves its
// field whole.
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "interop/field_reading.h"
#include "interop/interop.h"
#include "interop/moov_names.h"

namespace {

using Json = nlohmann::ordered_json;

// moov holds a Numeric value in a 64-bit integer.
constexpr int kMostNumericDigits = 18;

// How one value is read: a field's rules, or a subfield's inside its parent's value.
struct Rules {
    FieldType type = FieldType::U;
    int size = 0;
    ModelPrefix prefix;
    Encoding data = Encoding::NONE;
    Encoding charset = Encoding::ASCII;
    FieldSettings own;
    std::string description;
};

bool IsTextType(FieldType t) noexcept {
    return t == FieldType::A || t == FieldType::AN || t == FieldType::ANS || t == FieldType::AS;
}

bool IsDigits(const std::string& text) noexcept {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool IsHex(const std::string& text) noexcept {
    return !text.empty() && text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

const char* CharsetName(Encoding charset) noexcept {
    return charset == Encoding::EBCDIC ? "EBCDIC" : "ASCII";
}

// The value's data is characters: text, digits as characters, a run of a text value.
bool IsText(const Rules& r) noexcept {
    return IsTextType(r.type) || (r.type == FieldType::N && r.data == Encoding::CHAR);
}

class Writer {
  public:
    Writer(const ProtocolDef& definition, InteropNotes& out) : def(definition), notes(out) {}

    std::string Run() {
        Json root = Json::object();
        root["name"] = def.name;
        Json fields = Json::object();
        fields["0"] = Mti();
        fields["1"] = Bitmap();
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (def.fields[n].type == FieldType::U) continue;
            std::optional<Json> field = Field(n);
            if (field) {
                fields[std::to_string(n)] = std::move(*field);
            } else {
                Note(n, "not written");
            }
        }
        root["fields"] = std::move(fields);
        return root.dump(1, '\t', false, Json::error_handler_t::replace) + "\n";
    }

    // What moov reads of the moov field list written, field by field, against the definition: a
    // field that reads otherwise and has no note yet says how.
    void ReadBack(const std::string& written) {
        auto back = std::make_unique<ProtocolDef>();
        back->Reset();
        InteropNotes ignored;
        std::string error;
        if (!ImportMoov(written, *back, ignored, error)) return;
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (pending.count(n) > 0) continue;
            const std::vector<std::string> ours = FieldReading(def, n);
            const std::vector<std::string> theirs = FieldReading(*back, n);
            if (ours == theirs) continue;
            std::size_t k = 0;
            while (k < ours.size() && k < theirs.size() && ours[k] == theirs[k])
                ++k;
            Note(n, k < theirs.size() ? "read back from moov as " + theirs[k]
                                      : "read back from moov without " + ours[k]);
        }
    }

    void Finish() {
        Global();
        Flush();
    }

  private:
    void Note(int field, std::string text) { pending[field].push_back(std::move(text)); }

    void Flush() {
        for (auto& [n, texts] : pending) {
            std::string line = "field " + std::to_string(n) + ": ";
            for (std::size_t i = 0; i < texts.size(); ++i)
                line += (i > 0 ? "; " : "") + texts[i];
            notes.push_back(std::move(line));
        }
    }

    void Global() {
        int messages = 0;
        for (int i = 0; i < def.messages.SlotCount(); ++i)
            messages += def.messages.At(i) ? 1 : 0;
        if (messages > 0) {
            notes.push_back("a moov field list holds no message definitions; " +
                            std::to_string(messages) + " not written");
        }
        if (def.options.header >= 0) {
            notes.push_back("a moov field list holds no header before the MTI; HEADER " +
                            std::to_string(def.options.header) + " not written");
        }
    }

    Json Mti() const {
        const bool packed = def.mtiEnc == Encoding::PBCD;
        const char* set = CharsetName(def.chrEnc);
        Json mti = Json::object();
        mti["type"] = "String";
        mti["length"] = 4;
        mti["description"] = "Message Type Indicator";
        mti["enc"] = packed ? "BCD" : set;
        mti["prefix"] = packed ? "BCD.Fixed" : std::string(set) + ".Fixed";
        return mti;
    }

    // Blocks of 8 bytes that bit 1 and bit 65 extend, or moov's fixed bitmap of 16 bytes, which
    // reads both blocks always and bit 65 as a field.
    Json Bitmap() {
        const bool hex = def.bmpEnc == Encoding::HEX;
        const bool fixed = def.options.fixedBitmap;
        if (def.bmpEnc == Encoding::CHAR) {
            Note(1, std::string("moov has no bitmap of '0' and '1' characters; written as ") +
                        (fixed ? "16" : "8") + " bytes");
        }
        if (hex && def.chrEnc != Encoding::ASCII) {
            Note(1, "moov writes a bitmap's hexadecimal digits in ASCII, the definition in " +
                        std::string(NameOf(def.chrEnc)));
        }
        if (def.fields[65].type != FieldType::U && !fixed) {
            Note(65, "moov reads bit 65 as announcing a third bitmap, never as this field");
        }
        Json bitmap = Json::object();
        bitmap["type"] = "Bitmap";
        bitmap["length"] = fixed ? 16 : 8;
        bitmap["description"] = "Bitmap";
        bitmap["enc"] = hex ? "HexToASCII" : "Binary";
        bitmap["prefix"] = hex ? "Hex.Fixed" : "Binary.Fixed";
        if (fixed) bitmap["disableautoexpand"] = true;
        return bitmap;
    }

    Rules FieldRules(int n) const {
        const FldDef& f = def.fields[n];
        Rules r;
        r.type = f.type;
        r.size = f.size;
        r.own = def.settings[n];
        r.prefix.units = f.sizeLen;
        r.prefix.lenEnc = LengthEncoding(def, n);
        r.prefix.whole = r.own.prefixNumber;
        r.data = def.DataEncoding(n);
        r.charset = FieldCharset(def, n);
        r.description = f.description;
        return r;
    }

    // A subfield's rules: in a binary value its own encodings or the dialect's; in a text one
    // a run of its characters, behind decimal characters.
    Rules MemberRules(const SubfieldDef& d, bool textParent, Encoding parentCharset) const {
        Rules r;
        r.type = d.type;
        r.size = d.size;
        r.prefix.units = d.sizeLen;
        r.description = d.description;
        if (textParent) {
            r.prefix.lenEnc = Encoding::CHAR;
            r.charset = parentCharset;
            r.data =
                r.type == FieldType::B || r.type == FieldType::Z ? Encoding::NONE : Encoding::CHAR;
            return r;
        }
        r.own = d.settings;
        r.prefix.lenEnc = d.settings.lenEnc.value_or(def.lenEnc);
        r.prefix.whole = d.settings.prefixNumber;
        r.data = DataEncodingOf(def, d.type, d.settings);
        r.charset = d.settings.charset.value_or(def.chrEnc);
        return r;
    }

    std::optional<Json> Field(int n) {
        const Rules r = FieldRules(n);
        if (r.size < 1) {
            Note(n, "a size below 1");
            return std::nullopt;
        }
        std::string prefixWhy;
        if (!Prefix(r, prefixWhy)) {
            Note(n, prefixWhy);
            return std::nullopt;
        }
        const SubfieldNode* node = def.subfields.Field(n);
        if (def.fields[n].subfield && node != nullptr &&
            node->structure.layout != SubfieldLayout::kNone) {
            std::string why;
            std::optional<Json> composite =
                Composite(n, std::to_string(n), *node, r, !ValueIsBinary(def, n), why);
            if (composite) return composite;
            Note(n, "its subfields are not written: " + why);
        } else if (def.fields[n].subfield) {
            Note(n, r.type == FieldType::B || r.type == FieldType::Z
                        ? "moov reads only the data objects it is given, and none are; written "
                          "as Binary"
                        : "its subfield flag is not written");
        }
        std::string why;
        std::optional<Json> value = Primitive(n, "", r, why);
        if (!value) Note(n, why);
        return value;
    }

    // The moov prefix of a value, or why moov has none like it.
    std::optional<std::string> Prefix(const Rules& r, std::string& why) const {
        ModelPrefix p = r.prefix;
        if (p.units == 0) {
            if (r.type == FieldType::B || r.type == FieldType::Z) return "Binary.Fixed";
            if (r.type == FieldType::N && r.data == Encoding::PBCD) return "BCD.Fixed";
            return std::string(CharsetName(r.charset)) + ".Fixed";
        }
        if (r.own.prefixNibbles) {
            why = "moov's length prefix counts bytes, not nibbles";
            return std::nullopt;
        }
        if (r.own.prefixLeftAligned) {
            why = "moov has no packed length padded after its digits";
            return std::nullopt;
        }
        MoovPrefix moov;
        if (!MoovPrefixOf(p, r.charset, moov)) {
            why = "moov has no length prefix of " + std::to_string(p.units) + " units under " +
                  NameOf(p.lenEnc == Encoding::NONE ? Encoding::BIGEND : p.lenEnc) +
                  (p.lenEnc == Encoding::HEX ? std::string(" in ") + NameOf(r.charset) : "") +
                  (p.lenEnc == Encoding::BIGEND && !p.whole ? " read by its first byte" : "");
            return std::nullopt;
        }
        return MoovPrefixName(moov);
    }

    // type and enc of a value that holds no subfields, or why moov has none like it.
    bool Data(int n, const std::string& where, const Rules& r, Json& out, std::string& why) {
        switch (r.type) {
            case FieldType::N:
                if (r.data == Encoding::CHAR) {
                    out["enc"] = CharsetName(r.charset);
                } else if (r.data == Encoding::PBCD && r.own.padNibble.value_or(0) == 0) {
                    out["enc"] = r.own.padSide == PadSide::kRight ? "LBCD" : "BCD";
                } else {
                    why = r.data == Encoding::PBCD
                              ? "moov pads packed digits with 0, not F"
                              : std::string("moov has no numbers under ") + NameOf(r.data);
                    return false;
                }
                out["type"] = "Numeric";
                NumericNote(n, where, r);
                return true;
            case FieldType::B:
            case FieldType::Z:
                if (r.type == FieldType::Z && r.data == Encoding::PBCD) {
                    why = "moov has no packed track data in its JSON field list";
                    return false;
                }
                if (r.data == Encoding::HEX && r.charset != Encoding::ASCII) {
                    why = "moov writes hexadecimal digits in ASCII only";
                    return false;
                }
                if (r.data != Encoding::NONE && r.data != Encoding::HEX) {
                    why = std::string("moov has no binary data under ") + NameOf(r.data);
                    return false;
                }
                out["type"] = "Binary";
                out["enc"] = r.data == Encoding::HEX ? "HexToASCII" : "Binary";
                if (r.type == FieldType::Z) Note(n, where + "written as Binary, read back as B");
                return true;
            default:
                out["type"] = "String";
                out["enc"] = CharsetName(r.charset);
                if (r.type != FieldType::ANS) {
                    Note(n, where + "moov's String does not tell " + NameOf(r.type) +
                                " from other text; read back as ANS");
                }
                return true;
        }
    }

    void NumericNote(int n, const std::string& where, const Rules& r) {
        const bool long_ = r.size > kMostNumericDigits;
        const bool variable = r.prefix.units > 0;
        if (!long_ && !variable) return;
        std::string text = where + "moov holds a Numeric value as an integer: ";
        if (long_)
            text +=
                "one of more than " + std::to_string(kMostNumericDigits) + " digits does not fit";
        if (long_ && variable) text += ", and ";
        if (variable) text += "a variable one loses its leading zeros";
        Note(n, text);
    }

    // Keys in moov's order, the common part of every value.
    static Json Head(const Rules& r) {
        Json out = Json::object();
        out["type"] = nullptr;
        out["length"] = r.size;
        out["description"] = r.description;
        return out;
    }

    std::optional<Json> Primitive(int n, const std::string& where, const Rules& r, std::string& why,
                                  const char* prefixName = nullptr) {
        Json out = Head(r);
        if (!Data(n, where, r, out, why)) return std::nullopt;
        if (prefixName != nullptr) {
            out["prefix"] = prefixName;
        } else {
            const std::optional<std::string> prefix = Prefix(r, why);
            if (!prefix) return std::nullopt;
            out["prefix"] = *prefix;
        }
        if (r.type == FieldType::N && r.prefix.units == 0 && prefixName == nullptr) {
            // moov writes a Numeric value without its leading zeros unless padded.
            out["padding"] = {{"type", "Left"}, {"pad", "0"}};
        }
        return out;
    }

    // A value that holds subfields, or nullopt with why.
    std::optional<Json> Composite(int n, const std::string& path, const SubfieldNode& node,
                                  const Rules& r, bool text, std::string& why,
                                  const char* prefixName = nullptr) {
        if (text ? !IsText(r) : !(r.type == FieldType::B && r.data == Encoding::NONE)) {
            why = "moov reads subfields of bytes or of characters only";
            return std::nullopt;
        }
        Json out = Head(r);
        out["type"] = "Composite";
        if (prefixName != nullptr) {
            out["prefix"] = prefixName;
        } else {
            const std::optional<std::string> prefix = Prefix(r, why);
            if (!prefix) return std::nullopt;
            out["prefix"] = *prefix;
        }
        const SubfieldStructure& s = node.structure;
        Json tag = Json::object();
        std::map<std::string, std::string> keys;
        std::optional<std::string> lengthPrefix;
        switch (s.layout) {
            case SubfieldLayout::kTagged:
                if (!TaggedParts(s, text, r.charset, tag, lengthPrefix, why)) return std::nullopt;
                if (!TagKeys(node, tag, keys, why)) return std::nullopt;
                break;
            case SubfieldLayout::kBerTlv:
                if (text) {
                    why = "moov reads data objects of bytes only";
                    return std::nullopt;
                }
                tag["enc"] = "BerTLVTag";
                tag["sort"] = "StringsByHex";
                lengthPrefix = "BerTLV";
                break;
            default:
                tag["sort"] = "StringsByInt";
                break;
        }
        if (!tag.empty()) out["tag"] = std::move(tag);
        Json members = Json::object();
        for (const SubfieldNode& child : node.children) {
            if (!child.defined) continue;
            const std::string childPath = path + "." + child.id;
            std::string childWhy;
            std::optional<Json> member =
                Member(n, childPath, child, s, text, r.charset, lengthPrefix, childWhy);
            if (member) {
                const auto key = keys.find(child.id);
                members[key != keys.end() ? key->second : child.id] = std::move(*member);
                continue;
            }
            if (s.layout == SubfieldLayout::kPositional || s.layout == SubfieldLayout::kBitmap) {
                why = "subfield " + childPath + ": " + childWhy;
                return std::nullopt;
            }
            Note(n, "subfield " + childPath + ": " + childWhy + "; not written");
        }
        if (members.empty()) {
            why = "moov reads a composite by the subfields it is given, and none are";
            return std::nullopt;
        }
        out["subfields"] = std::move(members);
        if (s.layout == SubfieldLayout::kBitmap) {
            if (s.bitmapHex && r.charset != Encoding::ASCII) {
                why = "moov writes a bitmap's hexadecimal digits in ASCII only";
                return std::nullopt;
            }
            if (text && !s.bitmapHex)
                Note(n, "subfield " + path + ": a bitmap of bytes in text; read back as B");
            Json bitmap = Json::object();
            bitmap["type"] = "Bitmap";
            bitmap["length"] = s.bitmapBytes;
            bitmap["description"] = "Bitmap";
            bitmap["enc"] = s.bitmapHex ? "HexToASCII" : "Binary";
            bitmap["prefix"] = s.bitmapHex ? "Hex.Fixed" : "Binary.Fixed";
            bitmap["disableautoexpand"] = true;
            out["bitmap"] = std::move(bitmap);
        }
        return out;
    }

    // The tag of a tagged structure and the prefix that writes each element's length.
    bool TaggedParts(const SubfieldStructure& s, bool text, Encoding charset, Json& tag,
                     std::optional<std::string>& lengthPrefix, std::string& why) const {
        if (s.head > 0 || s.lengthFirst) {
            why = s.head > 0 ? "moov has no head before tagged elements"
                             : "moov writes an element's tag before its length";
            return false;
        }
        // Characters of a binary value are in its own set, else the dialect's, as its prefix's.
        const Encoding set = charset;
        const Encoding tagEnc = text ? Encoding::CHAR : s.tag.encoding;
        const Encoding lenEnc = text ? Encoding::CHAR : s.length.encoding;
        switch (tagEnc) {
            case Encoding::PBCD:
                tag["length"] = 2 * s.tag.units;
                tag["enc"] = "BCD";
                break;
            case Encoding::BIGEND:
                tag["length"] = s.tag.units;
                tag["enc"] = "ASCIIToHex";
                break;
            default:
                tag["length"] = s.tag.units;
                tag["enc"] = CharsetName(set);
                break;
        }
        ModelPrefix length;
        length.units = s.length.units;
        length.lenEnc = lenEnc;
        length.whole = true;
        MoovPrefix moov;
        if (!MoovPrefixOf(length, set, moov)) {
            why = "moov has no element length of " + std::to_string(s.length.units) +
                  " units under " + NameOf(lenEnc);
            return false;
        }
        lengthPrefix = MoovPrefixName(moov);
        return true;
    }

    // moov packs elements in the order its sort function gives their keys, and pads each key
    // to the tag's length: the keys, padding and sort that give the tags.
    static bool TagKeys(const SubfieldNode& node, Json& tag,
                        std::map<std::string, std::string>& keys, std::string& why) {
        std::vector<std::string> ids;
        for (const SubfieldNode& child : node.children) {
            if (child.defined) ids.push_back(child.id);
        }
        bool byHex = false;
        auto sorts = [&byHex](const std::vector<std::string>& all) {
            byHex = false;
            if (all.size() <= 1 || std::all_of(all.begin(), all.end(), IsDigits)) return true;
            byHex = std::all_of(all.begin(), all.end(), [](const std::string& key) {
                return key.size() % 2 == 0 && IsHex(key);
            });
            return byHex;
        };
        std::vector<std::string> found = ids;
        std::string side;
        if (!sorts(ids)) {
            // A pad character at either end that is not part of the keys.
            const auto lettered = std::find_if_not(ids.begin(), ids.end(), IsDigits);
            for (const char* end : {"Left", "Right"}) {
                const bool left = std::string(end) == "Left";
                const char pad = left ? lettered->front() : lettered->back();
                found.clear();
                for (const std::string& id : ids) {
                    const std::size_t first = left ? id.find_first_not_of(pad) : 0;
                    const std::size_t last = left ? id.size() : id.find_last_not_of(pad) + 1;
                    if (first == std::string::npos || last == 0) break;
                    found.push_back(id.substr(first, last - first));
                }
                if (found.size() == ids.size() && sorts(found)) {
                    side = end;
                    tag["padding"] = {{"type", side}, {"pad", std::string(1, pad)}};
                    break;
                }
            }
            if (side.empty()) {
                why = "moov sorts tags as decimal or hexadecimal numbers, and these are neither";
                return false;
            }
        }
        for (std::size_t i = 0; i < ids.size(); ++i)
            keys[ids[i]] = found[i];
        tag["sort"] = byHex ? "StringsByHex" : "StringsByInt";
        return true;
    }

    std::optional<Json> Member(int n, const std::string& path, const SubfieldNode& child,
                               const SubfieldStructure& parent, bool textParent,
                               Encoding parentCharset,
                               const std::optional<std::string>& lengthPrefix, std::string& why) {
        const SubfieldDef& d = child.def;
        if (d.rest) {
            why = "moov has no subfield that takes the rest of its value";
            return std::nullopt;
        }
        if (d.holds != SubfieldHolds::kNothing) {
            Note(n, "subfield " + path + ": what it holds, for masking, is not written");
        }
        Rules r = MemberRules(d, textParent, parentCharset);
        const char* prefix = lengthPrefix ? lengthPrefix->c_str() : nullptr;
        if (parent.layout == SubfieldLayout::kTagged && !textParent &&
            !(IsText(r) || (r.type == FieldType::B && r.data == Encoding::NONE))) {
            why =
                "moov counts its length in digits or in bytes of its hexadecimal text, the "
                "definition in units of the value";
            return std::nullopt;
        }
        if (lengthPrefix) r.prefix = ModelPrefix{};
        const std::string where = "subfield " + path + ": ";
        if (textParent && !IsText(r)) {
            Note(n, where + "a run of characters of its parent; written as String");
            r.type = FieldType::ANS;
            r.data = Encoding::CHAR;
        }
        const bool text = textParent || !SubfieldValueIsBinary(d);
        if (d.subfield && child.structure.layout != SubfieldLayout::kNone) {
            return Composite(n, path, child, r, text, why, prefix);
        }
        return Primitive(n, where, r, why, prefix);
    }

    const ProtocolDef& def;
    InteropNotes& notes;
    std::map<int, std::vector<std::string>> pending;
};

}  // namespace

void ExportMoov(const ProtocolDef& def, std::string& out, InteropNotes& notes) {
    InteropNotes own;
    Writer writer(def, own);
    out = writer.Run();
    writer.ReadBack(out);
    writer.Finish();
    notes.insert(notes.end(), own.begin(), own.end());
}
