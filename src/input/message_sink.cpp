#include "input/message_sink.h"

#include <cstring>

bool LoadMessage(AutoBuff& message, const char* bytes, std::size_t size) noexcept {
    const int n = static_cast<int>(size);
    if (message.Capacity() < n + 1 && !message.Reserve(n + 1, false)) return false;
    if (n > 0) std::memcpy(message.Data(), bytes, size);
    message.SetLength(n);
    return message.Terminate();
}
