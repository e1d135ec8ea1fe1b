// The definition file's lines beyond the classic ones: dialect options and field settings.
//
//   OPTION= EMPTY_FIELDS; Y
//   OPTION= HEADER; 5
//   OPTION= BITMAP; FIXED128
//   FIELD_OPTION=  35; NUM_Enc; PBCD
//
// Their keys begin with no classic key, so a reader of the classic lines skips them.
#pragma once

#include <cstdio>
#include <string>

#include "model/protocol.h"

inline constexpr char kOptionKey[] = "OPTION=";
inline constexpr char kFieldOptionKey[] = "FIELD_OPTION=";

// What a line said, for a reader that tells a later line overriding an earlier one.
struct SettingRead {
    int field = 0;        // 0 for an OPTION line
    std::string name;     // "EMPTY_FIELDS", "NUM_Enc"
    std::string problem;  // empty when the line was read
};

// Reads the value after the key (normalised in place) into def.
SettingRead ReadOptionLine(char* value, ProtocolDef& def);
SettingRead ReadFieldOptionLine(char* value, ProtocolDef& def);

// Reads one setting of a field or subfield by its name ("NUM_Enc") into s: why not, or "".
std::string ReadFieldSetting(const char* name, const char* value, FieldSettings& s);
// One line "lead; NAME; VALUE" per setting of s, in a stable order. False when a write failed.
bool WriteFieldSettings(std::FILE* stream, const char* lead, const FieldSettings& s) noexcept;

// The lines of def's options and settings, after a "//" heading, in a stable order; nothing
// at all for a definition without them. False when a write failed.
bool WriteSettingLines(std::FILE* stream, const ProtocolDef& def);

// What a setting of field n says that its field contradicts (a NUM_Enc on a character field,
// a setting of an undefined field): one text per contradiction, "" when none.
std::string SettingContradiction(const ProtocolDef& def, int n);
// The same for settings of a value of the type with the prefix size: name is "field 5" or
// "subfield 48.3".
std::string SettingsContradiction(const ProtocolDef& def, const std::string& name, FieldType type,
                                  int sizeLen, const FieldSettings& s);
