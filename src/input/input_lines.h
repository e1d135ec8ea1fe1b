// Input framings that read a stream line by line: each non-empty line is one message, in its
// own characters (ReadLines) or in hexadecimal digits (ReadHexLines, where a lone carriage
// return also ends a line: no hexadecimal line holds one).
#pragma once

#include <cstdio>

#include "input/message_sink.h"

// Both return the error number of a failed read, 0 otherwise.
int ReadLines(MessageSink& sink, std::FILE* stream);
int ReadHexLines(MessageSink& sink, std::FILE* stream);
