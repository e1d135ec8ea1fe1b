// A pyiso8583 field dictionary written as JSON, read into a definition: each entry's reading,
// then the dialect's encodings chosen as the most common, each field keeping as its own
// settings only what differs from them.
#include <algorithm>
#include <array>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>

#include "interop/pyiso8583_format.h"
#include "support/text.h"

namespace pyiso {
namespace {

using Json = nlohmann::json;

// The dictionary, its entries and their values: deeper values play no part in a field dictionary,
// so they are dropped as they are read and cost nothing however deep they go.
bool KeepTwoLevels(int depth, Json::parse_event_t event, Json&) {
    const bool opens =
        event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start;
    return !opens || depth < 2;
}

std::optional<long long> WholeNumber(const Json& entry, const char* name) {
    const auto it = entry.find(name);
    if (it == entry.end()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto v = it->get<std::uint64_t>();
        return v > 1'000'000'000ULL ? 1'000'000'000LL : static_cast<long long>(v);
    }
    if (it->is_number_integer()) {
        return std::clamp<long long>(it->get<long long>(), -1'000'000'000LL, 1'000'000'000LL);
    }
    return std::nullopt;
}

const std::string* Text(const Json& entry, const char* name) {
    const auto it = entry.find(name);
    return it != entry.end() && it->is_string() ? &it->get_ref<const std::string&>() : nullptr;
}

// pyiso8583 takes the first character of a pad; an empty one is none.
char Pad(const Json& entry, const char* name, const std::string& lead, InteropNotes& notes) {
    if (!entry.contains(name)) return 0;
    const std::string* pad = Text(entry, name);
    if (pad == nullptr) {
        notes.push_back(lead + name + " is not a text; ignored");
        return 0;
    }
    return pad->empty() ? 0 : pad->front();
}

// What decode reads of one field's entry; false, with a note, when it would fail on it.
bool ReadEntry(const Json& entry, const std::string& lead, FieldEntry& fieldEntry,
              InteropNotes& notes) {
    if (!entry.is_object()) {
        notes.push_back(lead + "not an object; left undefined");
        return false;
    }
    const std::string* dataEnc = Text(entry, "data_enc");
    const std::optional<long long> lenType = WholeNumber(entry, "len_type");
    const std::optional<long long> maxLen = WholeNumber(entry, "max_len");
    const char* missing = dataEnc == nullptr ? "data_enc"
                          : !lenType         ? "len_type"
                          : !maxLen          ? "max_len"
                                             : nullptr;
    if (missing != nullptr) {
        notes.push_back(lead + "no " + missing + (dataEnc == nullptr ? " text" : " whole number") +
                        "; left undefined");
        return false;
    }
    fieldEntry.dataEnc = *dataEnc;
    fieldEntry.lenType = *lenType;
    fieldEntry.maxLen = *maxLen;
    if (const std::string* lenEnc = Text(entry, "len_enc")) fieldEntry.lenEnc = *lenEnc;
    if (fieldEntry.lenType > 0 && Text(entry, "len_enc") == nullptr) {
        notes.push_back(lead + "no len_enc text for its length; left undefined");
        return false;
    }
    if (entry.contains("len_count")) {
        const std::string* count = Text(entry, "len_count");
        fieldEntry.nibbles = count != nullptr && *count == "nibbles";
        if (count == nullptr || (*count != "nibbles" && *count != "bytes")) {
            notes.push_back(lead +
                            "len_count is neither \"bytes\" nor \"nibbles\"; read as bytes, " +
                            "as pyiso8583 does");
        }
    }
    fieldEntry.leftPad = Pad(entry, "left_pad", lead, notes);
    fieldEntry.rightPad = Pad(entry, "right_pad", lead, notes);
    if (const std::string* desc = Text(entry, "desc")) fieldEntry.desc = *desc;
    return true;
}

// A description as the definition file keeps it: one line of at most 128 bytes, whose ';'
// would end its column there.
void SetDescription(FldDef& field, std::string desc) {
    std::replace(desc.begin(), desc.end(), ';', ',');
    CollapseUnprintable(desc.data());
    StoreDefinitionText(field.description, sizeof field.description, desc.c_str());
}

// 1 to 128 written as pyiso8583 looks them up (str of the number); 0 for any other key.
int FieldNumber(const std::string& key) noexcept {
    if (key.empty() || key.size() > 3 || key.front() == '0') return 0;
    int n = 0;
    for (const char c : key) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n <= kLastField ? n : 0;
}

// The message type or a bitmap: binary ("b") or characters of a codec.
struct Framing {
    bool binary = true;
    Encoding charset = Encoding::ASCII;
};

Framing ReadFraming(const Json& entry, const std::string& key, InteropNotes& notes,
                    InexactCodecs& inexact) {
    const std::string* dataEnc = Text(entry, "data_enc");
    if (dataEnc == nullptr) {
        notes.push_back(key + ": no data_enc text; read as ASCII characters");
        return {false, Encoding::ASCII};
    }
    if (*dataEnc == "b") return {};
    const Codec codec = MatchCodec(*dataEnc);
    if (!codec.known) {
        notes.push_back(key + ": data_enc " + Quoted(*dataEnc) +
                        " is not a codec this program reads; read as ASCII");
        return {false, Encoding::ASCII};
    }
    if (codec.inexact != nullptr) inexact[*dataEnc].push_back(key);
    return {false, codec.charset};
}

void ReadHeader(const Json& root, ProtocolDef& def, InteropNotes& notes) {
    const auto it = root.find("h");
    if (it == root.end()) {
        notes.push_back(
            "h: no entry, which pyiso8583 needs (max_len 0 for none); read as no header");
        return;
    }
    const std::optional<long long> maxLen =
        it->is_object() ? WholeNumber(*it, "max_len") : std::nullopt;
    if (!maxLen) {
        notes.push_back("h: no max_len whole number; read as no header");
        return;
    }
    if (*maxLen <= 0) return;
    const std::optional<long long> lenType = WholeNumber(*it, "len_type");
    if (lenType.value_or(0) != 0) {
        notes.push_back(
            "h: a header of variable length cannot be set aside as a count of units; "
            "left out");
        return;
    }
    if (*maxLen > kMaxLen) {
        notes.push_back("h: max_len " + std::to_string(*maxLen) + " is outside 1 to " +
                        std::to_string(kMaxLen) + "; left out");
        return;
    }
    // The header is set aside unread, so only its size in bytes counts.
    const std::string* dataEnc = Text(*it, "data_enc");
    const std::string* count = Text(*it, "len_count");
    const bool nibbles =
        dataEnc != nullptr && *dataEnc == "b" && count != nullptr && *count == "nibbles";
    def.options.header = static_cast<int>(nibbles ? (*maxLen + 1) / 2 : *maxLen);
}

// pyiso8583 reads the secondary bitmap by its own entry; here it is written as the primary.
void ReadSecondBitmap(const Json& root, const Framing& primary, bool beyond64, InteropNotes& notes,
                      InexactCodecs& inexact) {
    const auto it = root.find("1");
    if (it == root.end()) {
        if (beyond64) {
            notes.push_back(
                "1: no entry, so pyiso8583 reads no field above 64; read as the "
                "primary bitmap is written");
        }
        return;
    }
    if (!it->is_object()) {
        notes.push_back("1: not an object; read as the primary bitmap is written");
        return;
    }
    const Framing second = ReadFraming(*it, "1", notes, inexact);
    if (second.binary != primary.binary || second.charset != primary.charset) {
        notes.push_back(
            "1: written otherwise than the primary bitmap (p); read as the primary "
            "is written");
    }
}

// The most common of the values, the first met winning a tie; fallback when there are none.
Encoding MostCommon(const std::vector<Encoding>& values, Encoding fallback) {
    std::array<int, kEncodingCount> count = {};
    Encoding best = fallback;
    int most = 0;
    for (const Encoding e : values)
        ++count[static_cast<std::size_t>(e)];
    for (const Encoding e : values) {
        if (count[static_cast<std::size_t>(e)] > most) {
            most = count[static_cast<std::size_t>(e)];
            best = e;
        }
    }
    return best;
}

using Readings = std::array<std::optional<FieldReading>, kFieldCount>;

void ChooseDialect(const Readings& readings, const Framing& type, const Framing& bitmap,
                   ProtocolDef& def) {
    std::vector<Encoding> lengths, numbers, binaries, charsets;
    for (const std::optional<FieldReading>& r : readings) {
        if (!r) continue;
        if (r->own.lenEnc) lengths.push_back(*r->own.lenEnc);
        if (r->own.numEnc) numbers.push_back(*r->own.numEnc);
        if (r->own.binEnc && *r->own.binEnc != Encoding::PBCD) binaries.push_back(*r->own.binEnc);
        if (r->own.charset) charsets.push_back(*r->own.charset);
    }
    // The MTI and the bitmap have no settings of their own: their character set is the
    // dialect's whatever the fields use.
    def.chrEnc = !type.binary     ? type.charset
                 : !bitmap.binary ? bitmap.charset
                                  : MostCommon(charsets, Encoding::ASCII);
    def.lenEnc = MostCommon(lengths, type.binary ? Encoding::BIGEND : Encoding::CHAR);
    def.numEnc = MostCommon(numbers, type.binary ? Encoding::PBCD : Encoding::CHAR);
    def.binEnc = MostCommon(binaries, Encoding::NONE);
}

// The reading's settings less those the dialect says already.
FieldSettings OwnSettings(const FieldReading& r, const ProtocolDef& def) {
    FieldSettings s = r.own;
    if (s.lenEnc == def.lenEnc) s.lenEnc.reset();
    if (s.numEnc == def.numEnc) s.numEnc.reset();
    if (s.binEnc == def.binEnc) s.binEnc.reset();
    if (s.charset == def.chrEnc) s.charset.reset();
    if (r.type == FieldType::N) {
        if (s.padSide == PadSide::kLeft) s.padSide.reset();
        if (s.padNibble == 0) s.padNibble.reset();
    }
    return s;
}

void NoteInexactCodecs(const InexactCodecs& inexact, InteropNotes& notes) {
    for (const auto& [name, keys] : inexact) {
        const Codec codec = MatchCodec(name);
        if (keys.empty() || codec.inexact == nullptr) continue;
        std::string users;
        for (const std::string& key : keys)
            users += (users.empty() ? "" : ", ") + key;
        notes.push_back("codec " + Quoted(name) + " (" + users + "): " + codec.inexact);
    }
}

}  // namespace
}  // namespace pyiso

bool ImportPyiso8583(std::string_view text, ProtocolDef& def, InteropNotes& notes,
                     std::string& error) {
    using namespace pyiso;
    Json root;
    try {
        root = Json::parse(text.begin(), text.end(), KeepTwoLevels);
    } catch (const Json::exception& e) {
        const char* what = e.what();
        const char* past = std::strchr(what, ']');
        error = std::string("not well-formed JSON: ") + (past != nullptr ? past + 2 : what);
        return false;
    }
    if (!root.is_object()) {
        error = "not a pyiso8583 field dictionary: the JSON is not an object";
        return false;
    }
    for (const char* key : {"t", "p"}) {
        if (!root.contains(key) || !root[key].is_object()) {
            error = std::string("not a pyiso8583 field dictionary: no \"") + key +
                    "\" entry (the " + (key[0] == 't' ? "message type" : "primary bitmap") + ")";
            return false;
        }
    }
    InexactCodecs inexact;
    ReadHeader(root, def, notes);
    const Framing type = ReadFraming(root["t"], "t", notes, inexact);
    const Framing bitmap = ReadFraming(root["p"], "p", notes, inexact);
    def.mtiEnc = type.binary ? Encoding::PBCD : Encoding::CHAR;
    def.bmpEnc = bitmap.binary ? Encoding::NONE : Encoding::HEX;

    Readings readings;
    bool beyond64 = false;
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        const std::string key = std::to_string(n);
        const auto entry = root.find(key);
        if (entry == root.end()) continue;
        FieldEntry fieldEntry;
        FieldReading r;
        if (!ReadEntry(*entry, "field " + key + ": ", fieldEntry, notes) ||
            !ReadField(n, fieldEntry, r, notes, inexact)) {
            continue;
        }
        readings[static_cast<std::size_t>(n)] = r;
        DefineField(def.fields[n], r.type, static_cast<std::int16_t>(r.size),
                    static_cast<std::int16_t>(r.sizeLen), false, "");
        SetDescription(def.fields[n], fieldEntry.desc);
        beyond64 = beyond64 || n > 64;
    }
    ChooseDialect(readings, type, bitmap, def);
    if (!type.binary && !bitmap.binary && type.charset != bitmap.charset) {
        notes.push_back(std::string("p: the bitmap is in ") + NameOf(bitmap.charset) +
                        " characters and the message type in " + NameOf(type.charset) +
                        "; both are read in " + NameOf(type.charset));
    }
    ReadSecondBitmap(root, bitmap, beyond64, notes, inexact);
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        const std::optional<FieldReading>& r = readings[static_cast<std::size_t>(n)];
        if (r) def.settings[n] = OwnSettings(*r, def);
    }
    // pyiso8583 reads a variable field whose length is 0 as an empty value.
    def.options.emptyFields = true;
    for (const auto& item : root.items()) {
        const std::string& key = item.key();
        if (FieldNumber(key) == 0 && key != "h" && key != "t" && key != "p") {
            notes.push_back("key " + Quoted(key) + " is not an entry pyiso8583 reads (h, t, p, " +
                            "1 to " + std::to_string(kLastField) + "); ignored");
        }
    }
    NoteInexactCodecs(inexact, notes);
    return true;
}
