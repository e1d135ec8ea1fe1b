// The dump input framing: each input holds messages written as hexdumps, byte literals or
// plain hexadecimal digits, one after another. A message ends at an empty line, or where a
// hexdump's offset goes back to 0.
#pragma once

#include <cstdio>

#include "input/message_sink.h"

// The error number of a failed read, 0 otherwise.
int ReadDump(MessageSink& sink, std::FILE* stream);
