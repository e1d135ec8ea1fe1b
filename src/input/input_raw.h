// The raw input framing: the whole stream is one message, byte for byte.
#pragma once

#include <cstdio>

#include "input/message_sink.h"

// The error number of a failed read, 0 otherwise.
int ReadRaw(MessageSink& sink, std::FILE* stream);
