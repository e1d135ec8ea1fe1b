// A corpus of real-size messages of the text dialect of typical_message.h: fields drawn at
// random from 2 to 128 until a message takes 700 to 800 units, always with chip data in field
// 55 of 100 to 250 bytes (EMV data objects), a card number and track 2 data.
#pragma once

#include <string>
#include <vector>

#include "model/protocol.h"

// The definition the corpus passes under: DefineDialect's text dialect.
void DefineRandomFields(ProtocolDef& def);

// count messages, the same for every run.
std::vector<std::string> RandomFieldsCorpus(const ProtocolDef& def, int count = 300);
