#include "input/input_dump.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decode/decoder.h"
#include "input/dump_hexdump.h"
#include "input/dump_literal.h"
#include "input/line_reader.h"

namespace {

constexpr std::size_t kLimit = kMaxMessageUnits;
constexpr std::size_t kLiteralMax = 1 << 20;  // more text than any literal of kLimit bytes

bool IsEmpty(std::string_view line) {
    return line.find_first_not_of(" \t\r\f\v") == std::string_view::npos;
}

class DumpReader {
  public:
    explicit DumpReader(MessageSink& target) : sink(target), dump(bytes) {
        bytes.reserve(kLimit + 1);
    }

    bool Line(std::string_view line) {
        ++number;
        if (IsEmpty(line)) return End();
        switch (mode) {
            case Mode::kIdle:
                return Begin(line);
            case Mode::kHexdump:
                return Hexdump(line);
            case Mode::kLiteral:
                literal.append(line).push_back('\n');
                if (literal.size() <= kLiteralMax) return true;
                mode = Mode::kSkipping;
                return sink.Fail(kTooLong);
            case Mode::kSkipping:
                return HexdumpAssembler::Opens(line) ? Begin(line) : true;
        }
        return true;
    }

    bool Overlong() {
        ++number;
        const bool reported = mode == Mode::kSkipping;
        mode = Mode::kSkipping;
        return reported || sink.Fail(kTooLong);
    }

    // Ends the message under way, if any.
    bool End() {
        const Mode ended = mode;
        mode = Mode::kIdle;
        if (ended == Mode::kHexdump) {
            return dump.Finish() ? Deliver() : Refuse(rowLine);
        }
        if (ended != Mode::kLiteral) return true;
        const LiteralResult result = ParseByteLiteral(literal, bytes, kLimit);
        if (bytes.size() > kLimit) return sink.Fail(kTooLong);
        return result.ok ? Deliver() : Refuse(first + result.line - 1);
    }

  private:
    enum class Mode { kIdle, kHexdump, kLiteral, kSkipping };

    bool Begin(std::string_view line) {
        bytes.clear();
        if (HexdumpAssembler::Opens(line)) {
            mode = Mode::kHexdump;
            dump.Start();
            return Hexdump(line);
        }
        mode = Mode::kLiteral;
        first = number;
        literal.assign(line).push_back('\n');
        return true;
    }

    bool Hexdump(std::string_view line) {
        switch (dump.Feed(line)) {
            case HexdumpAssembler::Step::kTaken:
                rowLine = number;
                if (bytes.size() <= kLimit) return true;
                mode = Mode::kSkipping;
                return sink.Fail(kTooLong);
            case HexdumpAssembler::Step::kNewStart:
                return End() && Begin(line);
            case HexdumpAssembler::Step::kBad:
                break;
        }
        mode = Mode::kSkipping;
        return Refuse(number);
    }

    bool Refuse(long line) {
        reason.assign("not a hexdump or byte list: line ").append(std::to_string(line));
        return sink.Fail(reason);
    }

    bool Deliver() {
        if (!LoadMessage(sink.Message(), reinterpret_cast<const char*>(bytes.data()),
                         bytes.size())) {
            return sink.Fail(kTooLong);
        }
        return sink.Take();
    }

    MessageSink& sink;
    std::vector<std::uint8_t> bytes;
    HexdumpAssembler dump;
    Mode mode = Mode::kIdle;
    std::string literal;
    std::string reason;
    long number = 0;   // of the line just read
    long first = 0;    // line of the literal's first line
    long rowLine = 0;  // line of the hexdump's last row
};

}  // namespace

int ReadDump(MessageSink& sink, std::FILE* stream) {
    // A carriage return is never part of a dump. A literal may be written on one line, as
    // debuggers and Arrays.toString do: a line may be as long as the whole literal.
    LineReader reader(stream, true, kLiteralMax);
    DumpReader dump(sink);
    char* line = nullptr;
    std::size_t size = 0;
    bool overlong = false;
    bool going = true;
    while (going && reader.Next(line, size, overlong)) {
        going = overlong ? dump.Overlong() : dump.Line(std::string_view(line, size));
    }
    if (going) dump.End();
    return reader.Error();
}
