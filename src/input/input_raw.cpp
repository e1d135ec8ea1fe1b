#include "input/input_raw.h"

#include <cerrno>

#include "decode/decoder.h"

int ReadRaw(MessageSink& sink, std::FILE* stream) {
    AutoBuff& message = sink.Message();
    const int room = kMaxMessageUnits + 1;
    if (message.Capacity() < room + 1 && !message.Reserve(room + 1, false)) return ENOMEM;
    const std::size_t got = std::fread(message.Data(), 1, room, stream);
    if (std::ferror(stream)) return errno != 0 ? errno : EIO;
    if (got > static_cast<std::size_t>(kMaxMessageUnits)) {
        sink.Fail(kTooLong);
    } else {
        message.SetLength(static_cast<int>(got));
        message.Terminate();
        sink.Take();
    }
    return 0;
}
