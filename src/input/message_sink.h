// Where the input readers deliver each message they prepare: the checker and the diagnoser of
// the command-line tool today, any reader of pasted messages tomorrow.
#pragma once

#include <string_view>

#include "support/auto_buff.h"

inline constexpr char kTooLong[] = "message longer than 32767 units";

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // The buffer a reader fills with the next message's units before calling Take.
    virtual AutoBuff& Message() = 0;
    // Message() holds one message. False asks the reader to stop (the report cannot go on).
    virtual bool Take() = 0;
    // One message that could not be prepared, and why. False as for Take.
    virtual bool Fail(std::string_view reason) = 0;
};

// Copies size units into message, NUL-terminated. False when they do not fit.
bool LoadMessage(AutoBuff& message, const char* bytes, std::size_t size) noexcept;
