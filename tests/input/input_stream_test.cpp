#include "input/input_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_sink.h"

namespace {

std::string Len2(std::size_t length) {
    return {static_cast<char>(length >> 8 & 0xFF), static_cast<char>(length & 0xFF)};
}
std::string Len4(std::size_t length) {
    return Len2(length >> 16) + Len2(length & 0xFFFF);
}

std::vector<std::string> Read(const std::string& text, StreamFormat format,
                              std::size_t stopAfter = static_cast<std::size_t>(-1)) {
    return ReadText(
        text,
        [format](MessageSink& sink, std::FILE* stream) { return ReadStream(sink, stream, format); },
        nullptr, stopAfter);
}

using Got = std::vector<std::string>;

TEST(InputStreamTest, PassesOverATooLongMessageToTheNext) {
    const std::string tooLong = "!message longer than 32767 units";
    const std::string fits(32767, 'f');
    const struct {
        const char* name;
        std::string stream;
        StreamFormat format;
        Got got;
    } cases[] = {
        {"len2 40000 between two",
         Len2(2) + "ab" + Len2(40000) + std::string(40000, 'x') + Len2(2) + "cd",
         StreamFormat::kLen2, Got{"=ab", tooLong, "=cd"}},
        {"len2 32767 fits, 32768 does not", Len2(32767) + fits + Len2(32768) + fits + "g" + Len2(0),
         StreamFormat::kLen2, Got{"=32767 units f..f", tooLong, "="}},
        {"len4 65536 then one", Len4(65536) + std::string(65536, 'x') + Len4(1) + "z",
         StreamFormat::kLen4, Got{tooLong, "=z"}},
        {"len2 cut short inside the long message", Len2(40000) + "xyz", StreamFormat::kLen2,
         Got{"!stream ends 3 units into a message of 40000 units"}},
        {"len4 of 4 GiB less one on a short stream", Len4(0xFFFFFFFF) + std::string(70000, 'x'),
         StreamFormat::kLen4, Got{"!stream ends 70000 units into a message of 4294967295 units"}},
        {"long message ending exactly at the end", Len2(40000) + std::string(40000, 'x'),
         StreamFormat::kLen2, Got{tooLong}},
        {"ascii4 cannot say more than 9999", "9999" + std::string(9999, 'n') + "0002ok",
         StreamFormat::kAscii4, Got{"=9999 units n..n", "=ok"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.stream, c.format), c.got) << c.name;
}

TEST(InputStreamTest, StopsWhenTheSinkRefusesTheTooLongMessage) {
    const std::string stream = Len2(40000) + std::string(40000, 'x') + Len2(2) + "cd";
    EXPECT_EQ(Read(stream, StreamFormat::kLen2, 1), Got{"!message longer than 32767 units"});
}

}  // namespace
