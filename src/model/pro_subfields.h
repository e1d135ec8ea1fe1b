// The definition file's lines that say what is inside a field:
//
//   STRUCTURE=  48; TAGGED; HEAD 1; TAG 2; LEN 2
//   SUBFIELD=   48.42; ANS;  99; 0; Y; Electronic commerce data
//   SUBFIELD_OPTION= 48.02; HOLDS; PAN
//
// Their keys begin with no classic key, so a reader of the classic lines skips them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model/protocol.h"

inline constexpr char kStructureKey[] = "STRUCTURE=";
inline constexpr char kSubfieldKey[] = "SUBFIELD=";
inline constexpr char kSubfieldOptionKey[] = "SUBFIELD_OPTION=";

// What a line said: the path it names and, for an option, the option's name.
struct SubfieldRead {
    std::string path;
    std::string name;
    std::string problem;  // empty when the line was read
};

// Read the value after the key (normalised in place) into def; a line that cannot be read
// changes nothing.
SubfieldRead ReadStructureLine(char* value, ProtocolDef& def);
SubfieldRead ReadSubfieldLine(char* value, ProtocolDef& def);
SubfieldRead ReadSubfieldOptionLine(char* value, ProtocolDef& def);

// What reading the whole file settles: a LEN_UNITS of 6 becomes the prefix size.
void SettleSubfields(ProtocolDef& def) noexcept;

// The lines of def's subfields after a "//" heading, field by field, each node's STRUCTURE
// before its children; nothing for a definition without them. False when a write failed.
bool WriteSubfieldLines(std::FILE* stream, const ProtocolDef& def);

// What subfield definitions say that contradicts their field or their parent: the path the
// finding concerns and its text.
struct SubfieldFinding {
    std::string path;
    std::string text;
};
std::vector<SubfieldFinding> SubfieldContradictions(const ProtocolDef& def);

// "HEAD 1; TAG 2; LEN 2" for a structure line, without the kind.
std::string StructureItems(const SubfieldStructure& structure);
