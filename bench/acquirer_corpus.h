// A corpus like an acquirer's traffic: several MTIs, 10 to 40 fields a message, chip data of
// 100 to 250 bytes, in a text dialect and in a binary one with EBCDIC text.
#pragma once

#include <string>
#include <vector>

#include "model/protocol.h"

enum class CorpusDialect {
    kText,    // CHAR MTI and length prefixes, HEX bitmap and binary data, ASCII text
    kEbcdic,  // PBCD MTI and numbers, binary bitmap, BIGEND prefixes, EBCDIC text
};

void DefineAcquirer(ProtocolDef& def, CorpusDialect dialect);

// count messages that all pass under DefineAcquirer's definition; the same for every run.
std::vector<std::string> AcquirerCorpus(const ProtocolDef& def, int count = 300);
