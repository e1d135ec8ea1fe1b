#include "input/input_stream.h"

#include <cerrno>
#include <string>

#include "decode/decoder.h"

namespace {

int PrefixSize(StreamFormat format) {
    return format == StreamFormat::kLen2 ? 2 : 4;
}

// The length the prefix gives, or -1 when it is not a length.
long LengthOf(const unsigned char* prefix, StreamFormat format) {
    long length = 0;
    for (int i = 0; i < PrefixSize(format); ++i) {
        if (format != StreamFormat::kAscii4) {
            length = length * 256 + prefix[i];
        } else if (prefix[i] >= '0' && prefix[i] <= '9') {
            length = length * 10 + (prefix[i] - '0');
        } else {
            return -1;
        }
    }
    return length;
}

std::string Truncated(std::size_t got, long of, const char* what) {
    return "stream ends " + std::to_string(got) + " units into " + what + " of " +
           std::to_string(of) + " units";
}

// Reads size units into scratch, room at a time, and drops them: how many there were, fewer
// than size when the stream ends first. Reading rather than seeking passes over a message on a
// pipe as well as in a file.
std::size_t Skip(std::FILE* stream, std::size_t size, unsigned char* scratch,
                 std::size_t room) noexcept {
    std::size_t skipped = 0;
    while (skipped < size) {
        const std::size_t want = size - skipped < room ? size - skipped : room;
        const std::size_t got = std::fread(scratch, 1, want, stream);
        skipped += got;
        if (got < want) break;
    }
    return skipped;
}

}  // namespace

std::optional<StreamFormat> StreamFormatNamed(std::string_view name) {
    if (name == "len2") return StreamFormat::kLen2;
    if (name == "len4") return StreamFormat::kLen4;
    if (name == "ascii4") return StreamFormat::kAscii4;
    return std::nullopt;
}

int ReadStream(MessageSink& sink, std::FILE* stream, StreamFormat format) {
    AutoBuff& message = sink.Message();
    if (message.Capacity() < kMaxMessageUnits + 1 && !message.Reserve(kMaxMessageUnits + 1, false))
        return ENOMEM;
    const int prefixSize = PrefixSize(format);
    for (;;) {
        unsigned char prefix[4];
        const std::size_t got = std::fread(prefix, 1, prefixSize, stream);
        if (std::ferror(stream)) return errno != 0 ? errno : EIO;
        if (got == 0) return 0;
        if (got < static_cast<std::size_t>(prefixSize)) {
            sink.Fail(Truncated(got, prefixSize, "a length prefix"));
            return 0;
        }
        const long length = LengthOf(prefix, format);
        if (length < 0) {
            sink.Fail("length prefix is not 4 decimal digits");
            return 0;
        }
        if (length > kMaxMessageUnits) {
            // The prefix still says where the next message begins. The message is reported once
            // its end is known, so that one cut short is reported as such, like any other.
            const std::size_t skipped = Skip(stream, static_cast<std::size_t>(length),
                                             message.Data(), kMaxMessageUnits + 1);
            if (std::ferror(stream)) return errno != 0 ? errno : EIO;
            if (skipped < static_cast<std::size_t>(length)) {
                sink.Fail(Truncated(skipped, length, "a message"));
                return 0;
            }
            if (!sink.Fail(kTooLong)) return 0;
            continue;
        }
        const std::size_t read = std::fread(message.Data(), 1, length, stream);
        if (std::ferror(stream)) return errno != 0 ? errno : EIO;
        if (read < static_cast<std::size_t>(length)) {
            sink.Fail(Truncated(read, length, "a message"));
            return 0;
        }
        message.SetLength(static_cast<int>(length));
        message.Terminate();
        if (!sink.Take()) return 0;
    }
}
