// A line of hexadecimal digits: the one-pass decoder against the normalising one it falls back
// to, on arbitrary bytes; then the hexadecimal lines framing over the whole input, against the
// normalising decoder line by line.
//
// Input layout: a byte for the most units a line may give, a byte for the room the buffers
// have before the first line, then the text.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "input/input_lines.h"
#include "support/hex_line.h"

namespace {

// The line in storage of exactly its size and the one writable byte after it, so that any
// access past that byte is caught.
std::unique_ptr<char[]> HeapLine(std::string_view line) {
    std::unique_ptr<char[]> copy(new char[line.size() + 1]);
    std::memcpy(copy.get(), line.data(), line.size());
    copy[line.size()] = 'x';
    return copy;
}

std::string Units(const AutoBuff& message) {
    return {reinterpret_cast<const char*>(message.Data()),
            static_cast<std::size_t>(message.Length())};
}

void CheckOneLine(std::string_view line, int maxUnits, int room) {
    AutoBuff onePass, normalised;
    if (room > 0) {
        FUZZ_CHECK(onePass.Reserve(room, false) && normalised.Reserve(room, false));
    }
    auto a = HeapLine(line);
    auto b = HeapLine(line);
    const HexLineResult r = DecodeHexLine(a.get(), line.size(), onePass, maxUnits);
    FUZZ_CHECK(r == DecodeHexLineNormalised(b.get(), line.size(), normalised, maxUnits));
    if (r != HexLineResult::kMessage) return;
    FUZZ_CHECK(Units(onePass) == Units(normalised));
    FUZZ_CHECK(onePass.Length() >= 1 && onePass.Length() <= maxUnits);
    FUZZ_CHECK(onePass.Data()[onePass.Length()] == 0);
    // Two digits for each unit, and nothing else but blanks.
    std::size_t digits = 0;
    for (const char c : line)
        digits += std::isxdigit(static_cast<unsigned char>(c)) != 0 ? 1 : 0;
    FUZZ_CHECK(digits == 2 * static_cast<std::size_t>(onePass.Length()));
}

const char* ReasonOf(HexLineResult r) {
    switch (r) {
        case HexLineResult::kTooLong:
            return kTooLong;
        case HexLineResult::kBlanks:
            return "blanks between hexadecimal digits";
        case HexLineResult::kBadDigit:
            return "not a hexadecimal digit";
        case HexLineResult::kOddCount:
            return "odd number of hexadecimal digits";
        case HexLineResult::kMessage:
        case HexLineResult::kEmpty:
            break;
    }
    return nullptr;
}

void CheckHexLinesFraming(std::string_view text) {
    std::vector<Report> expected;
    AutoBuff message;
    for (const std::string& line : SplitLines(text, true)) {
        auto copy = HeapLine(line);
        const HexLineResult r =
            DecodeHexLineNormalised(copy.get(), line.size(), message, kMaxMessageUnits);
        if (r == HexLineResult::kMessage) {
            expected.push_back({true, Units(message)});
        } else if (r != HexLineResult::kEmpty) {
            expected.push_back({false, ReasonOf(r)});
        }
    }
    TextStream stream(text);
    ReportSink sink;
    FUZZ_CHECK(ReadHexLines(sink, stream.get()) == 0);
    FUZZ_CHECK(sink.reports == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int maxUnits = data[0] >= 0xF0 ? kMaxMessageUnits : data[0] % 64;
    const int room = data[1] % 72;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    CheckOneLine(text, maxUnits, room);
    for (const std::string& line : SplitLines(text, true))
        CheckOneLine(line, maxUnits, room);
    CheckHexLinesFraming(text);
    return 0;
}
