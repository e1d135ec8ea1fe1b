// The words of a diagnosis: why a walk stopped, and what it decoded that the verdict does not
// mention. Offsets count from the message's first unit.
#pragma once

#include <string>

#include "decode/decoder.h"
#include "diagnose/field_fit.h"

struct Finding {
    int field = 0;  // 0 when it concerns no field
    int offset = 0;
    std::string text;
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
Finding NotAllowedWarning(int field, int offset, const char* mti);
Finding TrailingWarning(int offset, int units);
