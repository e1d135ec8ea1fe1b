// A typical authorisation request and the dialects it is measured under.
#pragma once

#include <string>

#include "model/protocol.h"

enum class Dialect { kText, kBinary };

// Defines every field 2 to 128: the usual ones of an authorisation, the rest as fillers.
// Message 0100 asks for the typical fields, 0800 allows every field.
void DefineDialect(ProtocolDef& def, Dialect dialect);

struct BuiltMessage {
    std::string units;
    std::size_t stanOffset = 0;  // of field 11's data, 6 digits (3 bytes when packed)
};

// About 20 fields and a secondary bitmap.
BuiltMessage TypicalRequest(const ProtocolDef& def);
// Every field 2 to 128.
BuiltMessage EveryField(const ProtocolDef& def);
