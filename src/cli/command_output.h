// Where a command's product goes: a file given with -o, through the one save routine, or
// standard output.
#pragma once

#include <string>

#include "model/protocol.h"
#include "model/save_file.h"

// Writes through write to path (standard output when path is null): status when written;
// kExitUsage, with the reason on standard error, when not. A file is replaced only once the
// new one is complete.
int DeliverOutput(const std::string* path, const SaveWriter& write, int status);
// The same for a whole definition, as the desktop program saves it.
int DeliverDefinition(const std::string* path, const ProtocolDef& def, int status);
