// The words of a diagnosis: why a walk stopped, and what it decoded that the verdict does not
// mention. Offsets count from the message's first unit.
#pragma once

#include <string>
#include <vector>

#include "decode/decoder.h"
#include "diagnose/field_fit.h"
#include "diagnose/walk.h"

// What a finding is about. A strict check fails a message for the first five.
enum class FindingKind { kBitmap, kType, kLength, kTrailing, kSubfield, kOther };
// "bitmap", "type", "length", "trailing", "subfield", "other".
const char* NameOf(FindingKind kind) noexcept;

struct Finding {
    int field = 0;  // 0 when it concerns no field
    int offset = 0;
    std::string text;
    FindingKind kind = FindingKind::kOther;
};

// The field at offset whose NextField step gave code, concretely: which step, which units and
// what was expected, e.g. "field 41: needs 8 units at offset 120, 5 remain".
Finding ExplainStop(const AutoBuff& message, const ProtocolDef& def, int field, int offset,
                    int code);
// A message from start too short for both an MTI and a bitmap.
Finding ExplainNoVerdict(const AutoBuff& message, const ProtocolDef& def, int start);

// The warnings of one decoded field from its fit, in the order type, prefix.
void AddFitWarnings(const AutoBuff& message, const ProtocolDef& def, const DecodedField& field,
                    const FieldFit& fit, std::vector<Finding>& out);
// A bitmap unit that does not convert; block is 0 for the primary, 1 for the secondary.
Finding BitmapWarning(const AutoBuff& message, const ProtocolDef& def, int block, int offset);
// What the walk's bitmap lacks or cannot convert: a block cut short or missing, a secondary
// block announced and absent, units that do not convert.
void AddBitmapFindings(const AutoBuff& message, const ProtocolDef& def, const WalkOutline& walk,
                       std::vector<Finding>& out);
Finding NotAllowedWarning(int field, int offset, const char* mti);
// Units after walk.end, when the walk decoded every field; none where they are a bitmap's cut
// short, which its finding names already.
void AddTrailingFinding(const AutoBuff& message, const ProtocolDef& def, const WalkOutline& walk,
                        std::vector<Finding>& out);
Finding TrailingWarning(int offset, int units);
