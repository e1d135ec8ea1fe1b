#include "model/pro_settings.h"

#include <cstring>
#include <initializer_list>

#include "model/pro_tokens.h"
#include "support/text.h"

namespace {

using pro_tokens::NextToken;
using pro_tokens::ReadCount;

struct Name {
    const char* text;
    int value;
};

// The value's number in names, or -1.
int Lookup(const char* text, std::initializer_list<Name> names) noexcept {
    for (const Name& name : names) {
        if (std::strcmp(text, name.text) == 0) return name.value;
    }
    return -1;
}

int YesNo(const char* text) noexcept {
    return Lookup(text, {{"Y", 1}, {"N", 0}});
}

std::string Quoted(const char* text) {
    return std::string("'") + text + "'";
}

// An encoding name the setting accepts, or why not.
std::string ReadEncodingValue(const char* value, std::initializer_list<Encoding> accepted,
                              const char* what, std::optional<Encoding>& out) {
    const Encoding e = EncodingFromName(value);
    for (Encoding a : accepted) {
        if (e == a && std::strcmp(value, NameOf(a)) == 0) {
            out = e;
            return {};
        }
    }
    std::string names;
    for (Encoding a : accepted)
        names += std::string(names.empty() ? "" : ", ") + NameOf(a);
    return Quoted(value) + " is not " + what + " (" + names + ")";
}

std::string ReadFlag(const char* value, bool& out) {
    const int flag = YesNo(value);
    if (flag < 0) return Quoted(value) + " is neither Y nor N";
    out = flag == 1;
    return {};
}

// The three items of a line's value, trimmed; false when there are not exactly count.
bool Items(char* value, char** items, int count) {
    CollapseBlanks(value);
    char* cursor = value;
    for (int i = 0; i < count; ++i) {
        items[i] = NextToken(cursor, ';');
        if (items[i] == nullptr) return false;
        items[i] = TrimSpaces(items[i]);
    }
    return NextToken(cursor, ';') == nullptr;
}

}  // namespace

std::string ReadFieldSetting(const char* name, const char* value, FieldSettings& s) {
    using enum Encoding;
    if (std::strcmp(name, "LEN_Enc") == 0) {
        return ReadEncodingValue(value, {BIGEND, PBCD, HEX, CHAR}, "a length encoding", s.lenEnc);
    }
    if (std::strcmp(name, "NUM_Enc") == 0) {
        return ReadEncodingValue(value, {BIGEND, PBCD, HEX, CHAR}, "a numeric encoding", s.numEnc);
    }
    if (std::strcmp(name, "BIN_Enc") == 0) {
        return ReadEncodingValue(value, {NONE, HEX, CHAR, PBCD}, "a binary encoding", s.binEnc);
    }
    if (std::strcmp(name, "CHR_Enc") == 0) {
        return ReadEncodingValue(value, {ASCII, EBCDIC}, "a character encoding", s.charset);
    }
    if (std::strcmp(name, "PAD") == 0) {
        const int side = Lookup(value, {{"LEFT", 0}, {"RIGHT", 1}});
        if (side < 0) return Quoted(value) + " is neither LEFT nor RIGHT";
        s.padSide = side == 0 ? PadSide::kLeft : PadSide::kRight;
        return {};
    }
    if (std::strcmp(name, "PAD_NIBBLE") == 0) {
        const int nibble = Lookup(value, {{"0", 0}, {"F", 0xF}});
        if (nibble < 0) return Quoted(value) + " is neither 0 nor F";
        s.padNibble = static_cast<std::uint8_t>(nibble);
        return {};
    }
    if (std::strcmp(name, "LEN_NIBBLES") == 0) return ReadFlag(value, s.prefixNibbles);
    if (std::strcmp(name, "LEN_LEFT") == 0) return ReadFlag(value, s.prefixLeftAligned);
    if (std::strcmp(name, "LEN_WHOLE") == 0) return ReadFlag(value, s.prefixNumber);
    if (std::strcmp(name, "LEN_UNITS") == 0) {
        if (std::strcmp(value, "6") != 0) {
            return "LEN_UNITS takes 6; a prefix of 1 to 5 units is the FIELD line's";
        }
        s.sixUnitPrefix = true;
        return {};
    }
    return "unknown setting " + Quoted(name);
}

SettingRead ReadOptionLine(char* value, ProtocolDef& def) {
    SettingRead read;
    char* items[2];
    if (!Items(value, items, 2)) {
        read.problem = "OPTION= takes a name and a value: OPTION= NAME; VALUE";
        return read;
    }
    read.name = items[0];
    if (read.name == "EMPTY_FIELDS") {
        read.problem = ReadFlag(items[1], def.options.emptyFields);
    } else if (read.name == "HEADER") {
        const int units = ReadCount(items[1], kMaxHeaderUnits);
        if (units < 0) {
            read.problem = "HEADER " + Quoted(items[1]) + " is not a number of units from 0 to " +
                           std::to_string(kMaxHeaderUnits);
        } else {
            def.options.header = units;
        }
    } else if (read.name == "BITMAP") {
        const int fixed = Lookup(items[1], {{"FIXED128", 1}, {"BIT1", 0}});
        if (fixed < 0) {
            read.problem = "BITMAP " + Quoted(items[1]) + " is neither FIXED128 nor BIT1";
        } else {
            def.options.fixedBitmap = fixed == 1;
        }
    } else if (read.name == "TRAILING") {
        read.problem = ReadFlag(items[1], def.options.trailing);
    } else {
        read.problem = "unknown option " + Quoted(items[0]);
    }
    return read;
}

SettingRead ReadFieldOptionLine(char* value, ProtocolDef& def) {
    SettingRead read;
    char* items[3];
    if (!Items(value, items, 3)) {
        read.problem =
            "FIELD_OPTION= takes a field, a name and a value: FIELD_OPTION= N; NAME; VALUE";
        return read;
    }
    const int n = ReadCount(items[0], kLastField);
    if (n < kFirstDataElement) {
        read.problem = "field " + Quoted(items[0]) + " is not a field number from 2 to 128";
        return read;
    }
    read.field = n;
    read.name = items[1];
    // Read into a copy: a value that cannot be read changes nothing.
    FieldSettings settings = def.settings[n];
    read.problem = ReadFieldSetting(items[1], items[2], settings);
    if (read.problem.empty()) def.settings[n] = settings;
    return read;
}

namespace {

bool Put(std::FILE* stream, const char* text) noexcept {
    return std::fputs(text, stream) >= 0;
}

bool PutSetting(std::FILE* stream, const char* lead, const char* name, const char* value) noexcept {
    return std::fprintf(stream, "%s; %s; %s\n", lead, name, value) > 0;
}

}  // namespace

bool WriteFieldSettings(std::FILE* stream, const char* lead, const FieldSettings& s) noexcept {
    const char* n = lead;
    auto encoding = [&](const char* name, const std::optional<Encoding>& e) {
        return !e || PutSetting(stream, n, name, NameOf(*e));
    };
    auto flag = [&](const char* name, bool on) { return !on || PutSetting(stream, n, name, "Y"); };
    return encoding("LEN_Enc", s.lenEnc) &&
           (!s.sixUnitPrefix || PutSetting(stream, n, "LEN_UNITS", "6")) &&
           flag("LEN_NIBBLES", s.prefixNibbles) && flag("LEN_LEFT", s.prefixLeftAligned) &&
           flag("LEN_WHOLE", s.prefixNumber) && encoding("NUM_Enc", s.numEnc) &&
           encoding("BIN_Enc", s.binEnc) && encoding("CHR_Enc", s.charset) &&
           (!s.padSide ||
            PutSetting(stream, n, "PAD", *s.padSide == PadSide::kLeft ? "LEFT" : "RIGHT")) &&
           (!s.padNibble || PutSetting(stream, n, "PAD_NIBBLE", *s.padNibble == 0 ? "0" : "F"));
}

bool WriteSettingLines(std::FILE* stream, const ProtocolDef& def) {
    if (!HasSettings(def)) return true;
    if (!Put(stream,
             "\n// dialect options and field settings\n"
             "// OPTION= name; value, FIELD_OPTION= field number; name; value\n\n")) {
        return false;
    }
    if (def.options.emptyFields && !Put(stream, "OPTION= EMPTY_FIELDS; Y\n")) return false;
    if (def.options.header >= 0) {
        char line[48];
        std::snprintf(line, sizeof line, "OPTION= HEADER; %d\n", def.options.header);
        if (!Put(stream, line)) return false;
    }
    if (def.options.fixedBitmap && !Put(stream, "OPTION= BITMAP; FIXED128\n")) return false;
    if (def.options.trailing && !Put(stream, "OPTION= TRAILING; Y\n")) return false;
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        char lead[24];
        std::snprintf(lead, sizeof lead, "FIELD_OPTION= %3d", n);
        if (!WriteFieldSettings(stream, lead, def.settings[n])) return false;
    }
    return true;
}

std::string SettingContradiction(const ProtocolDef& def, int n) {
    const FldDef& field = def.fields[n];
    const std::string name = "field " + std::to_string(n);
    if (field.type == FieldType::U) return name + ": settings for a field that is not defined";
    return SettingsContradiction(def, name, field.type, field.sizeLen, def.settings[n]);
}

std::string SettingsContradiction(const ProtocolDef& def, const std::string& name, FieldType type,
                                  int sizeLen, const FieldSettings& s) {
    const std::string lead = name + ": ";
    const char* typeName = NameOf(type);
    const bool binary = type == FieldType::B || type == FieldType::Z;
    if (s.numEnc && type != FieldType::N) {
        return lead + "NUM_Enc applies to N fields, and " + name + " is " + typeName;
    }
    if (s.binEnc && !binary) {
        return lead + "BIN_Enc applies to B and Z fields, and " + name + " is " + typeName;
    }
    if (s.binEnc == Encoding::PBCD && type != FieldType::Z) {
        return lead + "BIN_Enc=PBCD is for packed track data, a Z field";
    }
    const bool variable = sizeLen > 0;
    if (!variable &&
        (s.lenEnc || s.sixUnitPrefix || s.prefixNibbles || s.prefixLeftAligned || s.prefixNumber)) {
        return lead + "length prefix settings for a field of fixed length";
    }
    const Encoding len = s.lenEnc.value_or(def.lenEnc);
    if (s.prefixLeftAligned && len != Encoding::PBCD) {
        return lead + "LEN_LEFT applies to a PBCD length prefix, not " + NameOf(len);
    }
    if (s.prefixNumber && len != Encoding::BIGEND) {
        return lead + "LEN_WHOLE applies to a BIGEND length prefix, not " + NameOf(len);
    }
    if (s.prefixNumber && sizeLen > 4) {
        return lead + "LEN_WHOLE reads at most 4 bytes, and the prefix has " +
               std::to_string(sizeLen);
    }
    const Encoding data = DataEncodingOf(def, type, s);
    if ((s.padSide || s.padNibble) && data != Encoding::PBCD) {
        return lead + "PAD settings apply to packed data, not " + std::string(NameOf(data));
    }
    if (s.prefixNibbles && data != Encoding::PBCD && data != Encoding::NONE) {
        return lead + "LEN_NIBBLES applies to packed or binary data, not " +
               std::string(NameOf(data));
    }
    return {};
}
