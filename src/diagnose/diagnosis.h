// The diagnosis of one message under one definition: where every unit went, why the decode
// stopped, what the verdict does not say, and which single change makes it decode exactly.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "diagnose/findings.h"

enum class MapPart { kHeader, kMti, kBitmap, kField, kTrailing };
// "header", "mti", "bitmap", "field", "trailing".
const char* NameOf(MapPart part) noexcept;

// Where one subfield lies inside its field's stretch: everything it takes, its tag or prefix
// first.
struct MapSubfield {
    std::string id;  // its path: "48.42"
    int offset = 0;
    int units = 0;
};

// One stretch of the message. The entries follow each other without gap or overlap and cover
// every unit.
struct MapEntry {
    MapPart part = MapPart::kTrailing;
    int offset = 0;
    int units = 0;
    int field = 0;         // a field's number; 1 for the secondary bitmap, 0 for the primary
    int prefixUnits = 0;   // of a variable field's length prefix, at the entry's start
    bool stopped = false;  // the field the walk stopped at: it takes every unit left, if any
    std::string value;     // as shown: MTI text, bitmap hex, field value (hex for B and Z)
    std::vector<MapSubfield> subfields;  // a field's, where its definition declares them
};

// One change to the definition: an encoding of the dialect, an encoding of one field's own,
// or allowing empty fields.
struct EncodingChange {
    EncodingRole role = EncodingRole::kMti;
    Encoding value = Encoding::NONE;
    int field = 0;             // the field whose own setting it is; 0 for the dialect's line
    bool emptyFields = false;  // OPTION= EMPTY_FIELDS; Y, and no encoding
};

// Makes the change in def as a file takes it: a dialect's encoding with the prefix sizes it
// recomputes, a field's own line alone, or empty fields allowed.
void ApplyChange(const EncodingChange& change, ProtocolDef& def) noexcept;

// A field's length prefix size as a change of LEN_Enc recomputes it.
struct PrefixSize {
    int field = 0;
    int from = 0;
    int to = 0;
};

// A reading that decodes every unit with none left over and no error verdict.
struct Reading {
    int header = 0;              // units set aside, counted from the message's first unit
    bool headerChanged = false;  // header differs from what the caller set aside
    std::optional<EncodingChange> change;
    // What a change of the dialect's LEN_Enc brings with it, as the Data Elements page and the
    // file's writer take it: each field whose prefix size it recomputes.
    std::vector<PrefixSize> prefixSizes;
    bool ok = false;  // passes its masks: the verdict "... Parsing OK ..."
    bool knownMti = false;
    int warnings = 0;
    char mti[5] = {};
    std::string verdict;
    std::string headerHex;  // the units set aside, in uppercase hexadecimal

    int Changes() const noexcept { return (headerChanged ? 1 : 0) + (change ? 1 : 0); }
};

struct Diagnosis {
    int header = 0;
    bool ok = false;      // the classic verdict passes, and, when strict, no strict finding holds
    std::string verdict;  // DecodeMessage's, empty when there is none
    char mti[5] = {};
    std::vector<MapEntry> map;
    std::optional<Finding> stopped;
    std::vector<Finding> warnings;
    std::vector<Finding> strict;    // the warnings a strict diagnosis fails a passing message for
    bool searched = false;          // false for a message that passes as it is
    std::vector<Reading> readings;  // best first, at most Diagnoser::kKept
};
