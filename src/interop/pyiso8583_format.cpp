#include "interop/pyiso8583_format.h"

#include <cctype>

namespace pyiso {
namespace {

struct CodecName {
    const char* name;  // as Python's codec lookup normalises it
    Encoding charset;
    const char* inexact;
};

constexpr const char* kAbove127 = "read as ASCII: characters above 127 are not translated";
constexpr const char* kCp500 = "read as code page 037: ! [ ] ^ | are other bytes in code page 500";
constexpr const char* kCp1140 = "read as code page 037: the euro sign is not translated";
constexpr const char* kCp1047 =
    "not a Python codec, so pyiso8583 cannot use it; read as code page 037: [ ] ^ differ";
constexpr const char* kNational =
    "read as code page 037: the national characters of that code page differ";

// A few aliases of each codec that ISO 8583 dialects use; Python knows more, which are then
// named as codecs this program does not read.
constexpr CodecName kCodecs[] = {
    {"ascii", Encoding::ASCII, nullptr},         {"us_ascii", Encoding::ASCII, nullptr},
    {"646", Encoding::ASCII, nullptr},           {"us", Encoding::ASCII, nullptr},
    {"latin_1", Encoding::ASCII, kAbove127},     {"latin1", Encoding::ASCII, kAbove127},
    {"latin", Encoding::ASCII, kAbove127},       {"l1", Encoding::ASCII, kAbove127},
    {"iso8859_1", Encoding::ASCII, kAbove127},   {"iso_8859_1", Encoding::ASCII, kAbove127},
    {"8859", Encoding::ASCII, kAbove127},        {"cp819", Encoding::ASCII, kAbove127},
    {"cp1252", Encoding::ASCII, kAbove127},      {"windows_1252", Encoding::ASCII, kAbove127},
    {"utf_8", Encoding::ASCII, kAbove127},       {"utf8", Encoding::ASCII, kAbove127},
    {"u8", Encoding::ASCII, kAbove127},          {"utf", Encoding::ASCII, kAbove127},
    {"cp037", Encoding::EBCDIC, nullptr},        {"037", Encoding::EBCDIC, nullptr},
    {"ibm037", Encoding::EBCDIC, nullptr},       {"ibm039", Encoding::EBCDIC, nullptr},
    {"csibm037", Encoding::EBCDIC, nullptr},     {"ebcdic_cp_us", Encoding::EBCDIC, nullptr},
    {"ebcdic_cp_ca", Encoding::EBCDIC, nullptr}, {"ebcdic_cp_nl", Encoding::EBCDIC, nullptr},
    {"ebcdic_cp_wt", Encoding::EBCDIC, nullptr}, {"cp500", Encoding::EBCDIC, kCp500},
    {"500", Encoding::EBCDIC, kCp500},           {"ibm500", Encoding::EBCDIC, kCp500},
    {"csibm500", Encoding::EBCDIC, kCp500},      {"ebcdic_cp_be", Encoding::EBCDIC, kCp500},
    {"ebcdic_cp_ch", Encoding::EBCDIC, kCp500},  {"cp1140", Encoding::EBCDIC, kCp1140},
    {"1140", Encoding::EBCDIC, kCp1140},         {"ibm1140", Encoding::EBCDIC, kCp1140},
    {"cp1047", Encoding::EBCDIC, kCp1047},       {"ibm1047", Encoding::EBCDIC, kCp1047},
    {"cp273", Encoding::EBCDIC, kNational},      {"ibm273", Encoding::EBCDIC, kNational},
    {"cp1026", Encoding::EBCDIC, kNational},     {"ibm1026", Encoding::EBCDIC, kNational},
};

// Python's lookup: lower case, each run of characters other than letters, digits and dots one
// '_', none at either end.
std::string Normalised(std::string_view name) {
    std::string out;
    bool gap = false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 || c == '.') {
            if (gap && !out.empty()) out += '_';
            out += static_cast<char>(std::tolower(u));
            gap = false;
        } else if (u < 0x80) {
            gap = true;
        }
    }
    return out;
}

// The data elements ISO 8583:1987 makes numeric (n), whose text is read as N; every other text
// field is ANS. pyiso8583 has no types, so the field number is all there is to go by; amounts
// with a sign (x+n) and track data are not numbers.
bool StandardNumeric(int n) noexcept {
    return (n >= 2 && n <= 27) || n == 32 || n == 33 || n == 53 || (n >= 66 && n <= 90) ||
           n == 99 || n == 100;
}

// Track 2 and track 3 data: packed, they carry a separator (D), so they are packed track data
// (Z), not numbers.
bool TrackData(int n) noexcept {
    return n == 35 || n == 36;
}

void Remember(InexactCodecs& inexact, const std::string& name, const Codec& codec,
              const std::string& key) {
    if (codec.inexact == nullptr) return;
    std::vector<std::string>& keys = inexact[name];
    if (keys.empty() || keys.back() != key) keys.push_back(key);
}

// A pad of 0 accepts any decimal digit, one of F only F: the two pads a definition knows.
void ReadPad(const FieldEntry& fieldEntry, FieldReading& r, const std::string& lead,
             InteropNotes& notes) {
    const char pad = fieldEntry.leftPad != 0 ? fieldEntry.leftPad : fieldEntry.rightPad;
    if (fieldEntry.leftPad != 0 && fieldEntry.rightPad != 0) {
        notes.push_back(lead +
                        "left_pad and right_pad are both given; read as padded on the left, as "
                        "pyiso8583 writes it");
    }
    r.own.padSide = fieldEntry.leftPad != 0 ? PadSide::kLeft : PadSide::kRight;
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(pad)));
    r.own.padNibble = upper == 'F' ? 0xF : 0;
    if (upper == 'F' || upper == '0') return;
    const char* side = fieldEntry.leftPad != 0 ? "left_pad " : "right_pad ";
    if (upper >= '1' && upper <= '9') {
        notes.push_back(lead + side + Quoted(std::string(1, pad)) +
                        " is kept as a pad of any decimal digit");
    } else {
        notes.push_back(lead + side + Quoted(std::string(1, pad)) +
                        " is neither a decimal digit nor F; read as a pad of any decimal digit");
    }
}

bool ReadData(int number, const FieldEntry& fieldEntry, FieldReading& r, const std::string& lead,
              InteropNotes& notes, InexactCodecs& inexact) {
    const int maxLen = static_cast<int>(fieldEntry.maxLen);
    if (fieldEntry.dataEnc == "b") {
        if (!fieldEntry.nibbles) {
            r.type = FieldType::B;
            r.size = maxLen;
            r.own.binEnc = Encoding::NONE;
        } else if (fieldEntry.leftPad != 0 || fieldEntry.rightPad != 0) {
            // A pad is for odd counts of digits: packed decimal data.
            r.type = TrackData(number) ? FieldType::Z : FieldType::N;
            r.size = maxLen;
            if (r.type == FieldType::Z) {
                r.own.binEnc = Encoding::PBCD;
            } else {
                r.own.numEnc = Encoding::PBCD;
            }
            ReadPad(fieldEntry, r, lead, notes);
        } else {
            // Without a pad only whole bytes can be read: binary data whose length counts
            // nibbles.
            r.type = FieldType::B;
            r.size = (maxLen + 1) / 2;
            r.own.binEnc = Encoding::NONE;
            r.own.prefixNibbles = fieldEntry.lenType > 0;
            if (fieldEntry.lenType == 0 && maxLen % 2 != 0) {
                notes.push_back(lead + "a fixed length of " + std::to_string(maxLen) +
                                " nibbles without a pad cannot be read by pyiso8583; read as " +
                                std::to_string(r.size) + " bytes");
            }
        }
        return true;
    }
    const Codec codec = MatchCodec(fieldEntry.dataEnc);
    if (!codec.known) {
        notes.push_back(lead + "data_enc " + Quoted(fieldEntry.dataEnc) +
                        " is not a codec this program reads; left undefined");
        return false;
    }
    if (fieldEntry.nibbles) {
        notes.push_back(lead + "text counted in nibbles has no counterpart here; left undefined");
        return false;
    }
    Remember(inexact, fieldEntry.dataEnc, codec, std::to_string(number));
    r.own.charset = codec.charset;
    r.size = maxLen;
    if (StandardNumeric(number)) {
        r.type = FieldType::N;
        r.own.numEnc = Encoding::CHAR;
    } else {
        r.type = FieldType::ANS;
    }
    return true;
}

bool ReadLength(int number, const FieldEntry& fieldEntry, FieldReading& r, const std::string& lead,
                InteropNotes& notes, InexactCodecs& inexact) {
    const int units = static_cast<int>(fieldEntry.lenType);
    r.sizeLen = units;
    r.own.sixUnitPrefix = units == kMaxPrefixUnits;
    if (fieldEntry.lenEnc == "b") {
        // A prefix of 1 or 2 bytes reads whole without being told.
        if (units > 4) {
            notes.push_back(lead + "a binary length of " + std::to_string(units) +
                            " bytes is more than the 4 read here; left undefined");
            return false;
        }
        r.own.lenEnc = Encoding::BIGEND;
        r.own.prefixNumber = units >= 3;
        return true;
    }
    if (fieldEntry.lenEnc == "bcd") {
        r.own.lenEnc = Encoding::PBCD;
        return true;
    }
    const Codec codec = MatchCodec(fieldEntry.lenEnc);
    if (!codec.known) {
        notes.push_back(lead + "len_enc " + Quoted(fieldEntry.lenEnc) +
                        " is not a codec this program reads; left undefined");
        return false;
    }
    Remember(inexact, fieldEntry.lenEnc, codec, std::to_string(number));
    r.own.lenEnc = Encoding::CHAR;
    if (r.own.charset && *r.own.charset != codec.charset) {
        notes.push_back(lead + "its length is in " + NameOf(codec.charset) +
                        " characters and its data in " + NameOf(*r.own.charset) +
                        "; both are read in " + NameOf(*r.own.charset));
    } else {
        r.own.charset = codec.charset;
    }
    return true;
}

}  // namespace

Codec MatchCodec(std::string_view name) {
    const std::string key = Normalised(name);
    for (const CodecName& c : kCodecs) {
        if (key == c.name) return {true, c.charset, c.inexact};
    }
    return {};
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text.substr(0, 40)) {
        const auto u = static_cast<unsigned char>(c);
        out += u >= 0x20 && u < 0x7F ? c : '?';
    }
    if (text.size() > 40) out += "...";
    return out + "\"";
}

const char* CodecOf(Encoding charset) noexcept {
    return charset == Encoding::EBCDIC ? "cp037" : "ascii";
}

bool ReadField(int number, const FieldEntry& fieldEntry, FieldReading& reading, InteropNotes& notes,
               InexactCodecs& inexact) {
    const std::string lead = "field " + std::to_string(number) + ": ";
    reading = FieldReading{};
    if (fieldEntry.maxLen < 1 || fieldEntry.maxLen > kMaxLen) {
        notes.push_back(lead + "max_len " + std::to_string(fieldEntry.maxLen) +
                        " is outside 1 to " + std::to_string(kMaxLen) + "; left undefined");
        return false;
    }
    if (fieldEntry.lenType < 0 || fieldEntry.lenType > kMaxPrefixUnits) {
        notes.push_back(lead + "len_type " + std::to_string(fieldEntry.lenType) +
                        " is outside 0 to " + std::to_string(kMaxPrefixUnits) + "; left undefined");
        return false;
    }
    if (!ReadData(number, fieldEntry, reading, lead, notes, inexact)) return false;
    if (fieldEntry.lenType > 0 && !ReadLength(number, fieldEntry, reading, lead, notes, inexact)) {
        reading = FieldReading{};
        return false;
    }
    return true;
}

FieldReading ReadingOf(const ProtocolDef& def, int n) {
    const FldDef& f = def.fields[n];
    const FieldSettings& own = def.settings[n];
    FieldReading r;
    r.type = f.type;
    r.size = f.size;
    r.sizeLen = f.sizeLen;
    const Encoding data = DataEncodingOf(def, f.type, own);
    bool characters = false;
    bool bytes = false;
    switch (f.type) {
        case FieldType::N:
            r.own.numEnc = data;
            characters = data == Encoding::CHAR || data == Encoding::HEX;
            if (data == Encoding::PBCD) {
                // A left pad that may be any digit is the dialect's rule, said or not.
                r.own.padSide = own.padSide.value_or(PadSide::kLeft);
                r.own.padNibble = own.padNibble.value_or(0);
            }
            break;
        case FieldType::B:
        case FieldType::Z:
            r.own.binEnc = data;
            characters = data == Encoding::CHAR || data == Encoding::HEX;
            bytes = data != Encoding::PBCD;
            if (data == Encoding::PBCD) {
                r.own.padSide = own.padSide;
                r.own.padNibble = own.padNibble;
            }
            break;
        case FieldType::U:
            return r;
        default:
            characters = true;
            break;
    }
    if (f.sizeLen > 0) {
        Encoding length = LengthEncoding(def, n);
        if (length == Encoding::NONE) length = Encoding::BIGEND;  // read alike
        r.own.lenEnc = length;
        characters = characters || length == Encoding::CHAR || length == Encoding::HEX;
        r.own.prefixNibbles = own.prefixNibbles && bytes;
        r.own.prefixLeftAligned = own.prefixLeftAligned && length == Encoding::PBCD;
        // One or two bytes read as one number whether told or not.
        r.own.prefixNumber = own.prefixNumber && length == Encoding::BIGEND && f.sizeLen >= 3;
        r.own.sixUnitPrefix = own.sixUnitPrefix;
    }
    if (characters) r.own.charset = FieldCharset(def, n);
    return r;
}

}  // namespace pyiso
