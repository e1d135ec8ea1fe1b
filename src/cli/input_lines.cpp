#include "cli/input_lines.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "cli/line_reader.h"
#include "decode/decoder.h"
#include "support/text.h"

namespace {

const char* HexFault(std::string_view digits) {
    if (digits.find(' ') != std::string_view::npos) return "blanks between hexadecimal digits";
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return "not a hexadecimal digit";
    }
    return "odd number of hexadecimal digits";
}

bool TakeLine(MessageSink& sink, char* line, std::size_t size) {
    if (size > static_cast<std::size_t>(kMaxMessageUnits)) return sink.Fail(kTooLong);
    LoadMessage(sink.Message(), line, size);
    return sink.Take();
}

bool TakeHexLine(MessageSink& sink, char* line, std::size_t size) {
    if (std::memchr(line, '\0', size) != nullptr) return sink.Fail("not a hexadecimal digit");
    line[size] = '\0';
    const auto digits = static_cast<std::size_t>(CollapseUnprintable(line));
    if (digits == 0) return true;  // a line of blanks only is an empty line
    if (digits / 2 > static_cast<std::size_t>(kMaxMessageUnits)) return sink.Fail(kTooLong);
    AutoBuff& message = sink.Message();
    if (!LoadMessage(message, line, digits) || message.DecodeHexInPlace() < 1) {
        return sink.Fail(HexFault(std::string_view(line, digits)));
    }
    return sink.Take();
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
