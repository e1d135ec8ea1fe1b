// A private copy of a protocol definition, for work that tries other encodings on it while the
// user's definition stays as it is.
#pragma once

#include "model/protocol.h"

// Makes target equal to source: name, data elements, encodings and every message definition in
// its own slot. False when memory for a message definition or the slot array is missing; target
// then holds the messages copied so far.
bool CopyDefinition(const ProtocolDef& source, ProtocolDef& target) noexcept;
