// The stream input framing: each input is a byte stream of messages, each preceded by its
// length (which does not count the prefix).
#pragma once

#include <cstdio>
#include <optional>
#include <string_view>

#include "input/message_sink.h"

enum class StreamFormat {
    kLen2,    // 2 bytes, big-endian
    kLen4,    // 4 bytes, big-endian
    kAscii4,  // 4 decimal digits
};

std::optional<StreamFormat> StreamFormatNamed(std::string_view name);

// A message longer than kMaxMessageUnits is an error and reading goes on after it; reading
// stops at the first broken prefix or at a message the stream cuts short. The error number of
// a failed read, 0 otherwise.
int ReadStream(MessageSink& sink, std::FILE* stream, StreamFormat format);
