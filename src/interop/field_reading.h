// What a definition reads for one field, in terms that do not depend on its dialect: each
// encoding as the field or subfield is read with it, its own or the dialect's. Two definitions
// whose lines for a field are equal read that field alike, whatever their dialect lines say.
#pragma once

#include <string>
#include <vector>

#include "model/protocol.h"

// One line for the field, then one per subfield in the order they are written: "48 ANS 999
// LEN 3 CHAR ASCII Y TAGGED TAG 2; LEN 2 'Additional data'". Empty for an undefined field.
std::vector<std::string> FieldReading(const ProtocolDef& def, int n);
