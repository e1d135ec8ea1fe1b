// The line reader on arbitrary bytes, in both carriage-return modes, against a plain split of
// the same bytes; then the lines framing over it. A line limit and a block size that the input
// chooses let short inputs reach the refills and the skipping of overlong lines.
//
// Input layout: a byte for the line limit, a byte for the block size, then the text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "input/input_lines.h"
#include "input/line_reader.h"

namespace {

// Every line comes back in order, whole when it fits the limit and flagged overlong, without
// its text, when it does not; nothing else comes back. The line is writable up to its end.
void CheckReader(std::string_view text, bool carriageReturnEnds, std::size_t lineMax,
                 std::size_t block) {
    const std::vector<std::string> expected = SplitLines(text, carriageReturnEnds);
    TextStream stream(text);
    LineReader reader(stream.get(), carriageReturnEnds, lineMax, block);
    char* line = nullptr;
    std::size_t size = 0;
    bool overlong = false;
    std::size_t n = 0;
    while (reader.Next(line, size, overlong)) {
        FUZZ_CHECK(n < expected.size());
        const std::string& want = expected[n++];
        if (want.size() > lineMax) {
            FUZZ_CHECK(overlong && size == 0);
            continue;
        }
        FUZZ_CHECK(!overlong && size == want.size());
        FUZZ_CHECK(std::string_view(line, size) == want);
        line[size] = '\0';
    }
    FUZZ_CHECK(n == expected.size());
    FUZZ_CHECK(reader.Error() == 0);
    FUZZ_CHECK(!reader.Next(line, size, overlong));  // the end stays the end
}

// Each non-empty line is one message, byte for byte.
void CheckLinesFraming(std::string_view text) {
    std::vector<Report> expected;
    for (const std::string& line : SplitLines(text, false)) {
        if (line.size() > static_cast<std::size_t>(kMaxMessageUnits)) {
            expected.push_back({false, kTooLong});
        } else if (!line.empty()) {
            expected.push_back({true, line});
        }
    }
    TextStream stream(text);
    ReportSink sink;
    FUZZ_CHECK(ReadLines(sink, stream.get()) == 0);
    FUZZ_CHECK(sink.reports == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t lineMax = data[0] % 64;
    const std::size_t block = data[1] % 80;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    for (const bool carriageReturnEnds : {false, true}) {
        CheckReader(text, carriageReturnEnds, lineMax, block);
        CheckReader(text, carriageReturnEnds, LineReader::kLineMax, 1 << 18);
    }
    CheckLinesFraming(text);
    return 0;
}
