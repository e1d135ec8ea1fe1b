#include "input/input_lines.h"

#include <cstring>

#include "decode/decoder.h"
#include "input/line_reader.h"
#include "support/hex_line.h"

namespace {

bool TakeLine(MessageSink& sink, char* line, std::size_t size) {
    if (size > static_cast<std::size_t>(kMaxMessageUnits)) return sink.Fail(kTooLong);
    LoadMessage(sink.Message(), line, size);
    return sink.Take();
}

bool TakeHexLine(MessageSink& sink, char* line, std::size_t size) {
    switch (DecodeHexLine(line, size, sink.Message(), kMaxMessageUnits)) {
        case HexLineResult::kMessage:
            return sink.Take();
        case HexLineResult::kEmpty:
            return true;
        case HexLineResult::kTooLong:
            return sink.Fail(kTooLong);
        case HexLineResult::kBlanks:
            return sink.Fail("blanks between hexadecimal digits");
        case HexLineResult::kBadDigit:
            return sink.Fail("not a hexadecimal digit");
        case HexLineResult::kOddCount:
            break;
    }
    return sink.Fail("odd number of hexadecimal digits");
}

template <typename TakeOne>
int ReadEachLine(MessageSink& sink, std::FILE* stream, bool carriageReturnEnds, TakeOne take) {
    LineReader reader(stream, carriageReturnEnds);
    char* line = nullptr;
    std::size_t size = 0;
    bool overlong = false;
    bool going = true;
    while (going && reader.Next(line, size, overlong)) {
        if (overlong) {
            going = sink.Fail(kTooLong);
        } else if (size > 0) {
            going = take(sink, line, size);
        }
    }
    return reader.Error();
}

}  // namespace

int ReadLines(MessageSink& sink, std::FILE* stream) {
    return ReadEachLine(sink, stream, false, TakeLine);
}

int ReadHexLines(MessageSink& sink, std::FILE* stream) {
    return ReadEachLine(sink, stream, true, TakeHexLine);
}
