// The length-prefixed stream framings on arbitrary bytes, against a plain walk of the same
// stream: one report for each prefix read, each message byte for byte, reading on after a
// message too long to check and stopping at a broken prefix or a message cut short, or when
// the sink asks. Messages longer than 32767 units are made here, since inputs are short.
//
// Input layout: a control byte (bits 0-1 the framing, bit 2 a long message first, bits 3-7
// the reports after which the sink asks to stop, none when 0), two bytes for the long
// message's length above 32767, a byte for how many of its units are missing, then the stream.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "input/input_stream.h"

namespace {

int PrefixSize(StreamFormat format) {
    return format == StreamFormat::kLen2 ? 2 : 4;
}

std::string Prefix(std::size_t length, StreamFormat format) {
    std::string prefix;
    for (int i = PrefixSize(format) - 1; i >= 0; --i)
        prefix.push_back(static_cast<char>(length >> (8 * i) & 0xFF));
    return prefix;
}

std::string Truncated(std::size_t got, std::size_t of, const char* what) {
    return "stream ends " + std::to_string(got) + " units into " + what + " of " +
           std::to_string(of) + " units";
}

std::vector<Report> Walk(std::string_view stream, StreamFormat format) {
    std::vector<Report> reports;
    const auto prefixSize = static_cast<std::size_t>(PrefixSize(format));
    std::size_t at = 0;
    while (at < stream.size()) {
        if (stream.size() - at < prefixSize) {
            reports.push_back(
                {false, Truncated(stream.size() - at, prefixSize, "a length prefix")});
            break;
        }
        std::size_t length = 0;
        bool digits = true;
        for (std::size_t i = 0; i < prefixSize; ++i) {
            const auto c = static_cast<unsigned char>(stream[at + i]);
            if (format != StreamFormat::kAscii4) {
                length = length * 256 + c;
            } else {
                digits = digits && c >= '0' && c <= '9';
                length = length * 10 + (c - '0');
            }
        }
        if (!digits) {
            reports.push_back({false, "length prefix is not 4 decimal digits"});
            break;
        }
        at += prefixSize;
        const std::size_t left = stream.size() - at;
        if (left < length) {
            reports.push_back({false, Truncated(left, length, "a message")});
            break;
        }
        if (length > static_cast<std::size_t>(kMaxMessageUnits)) {
            reports.push_back({false, kTooLong});
        } else {
            reports.push_back({true, std::string(stream.substr(at, length))});
        }
        at += length;
    }
    return reports;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    static constexpr StreamFormat kFormats[] = {StreamFormat::kLen2, StreamFormat::kLen4,
                                                StreamFormat::kAscii4, StreamFormat::kLen4};
    const StreamFormat format = kFormats[data[0] & 3];
    const bool longFirst = (data[0] & 4) != 0 && format != StreamFormat::kAscii4;
    const std::size_t stopAfter = data[0] >> 3 != 0 ? data[0] >> 3 : static_cast<std::size_t>(-1);
    std::string stream;
    if (longFirst) {
        const int above =
            (data[1] << 8 | data[2]) & (format == StreamFormat::kLen2 ? 0x7FFF : 0xFFFF);
        const std::size_t length = static_cast<std::size_t>(kMaxMessageUnits) + 1 + above;
        const std::size_t missing = data[3] < 0x80 ? 0 : data[3] & 0x7F;
        stream = Prefix(length, format) + std::string(length - missing, '\x5A');
    }
    stream.append(reinterpret_cast<const char*>(data + 4), size - 4);

    std::vector<Report> expected = Walk(stream, format);
    if (expected.size() > stopAfter) expected.resize(stopAfter);
    TextStream text(stream);
    ReportSink sink(stopAfter);
    FUZZ_CHECK(ReadStream(sink, text.get(), format) == 0);
    FUZZ_CHECK(sink.reports == expected);
    return 0;
}
