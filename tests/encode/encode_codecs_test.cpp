#include "encode/codecs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "decode/codecs.h"

namespace {

// Every character some EBCDIC byte decodes to comes back from the byte picked for it.
TEST(EncodeCodecs, EveryCharacterWithAnEbcdicByteReadsBack) {
    int written = 0;
    for (int ch = 0; ch < 256; ++ch) {
        const std::uint8_t code = AsciiToEbcdicTable[ch];
        if (code == kNoEbcdicCode) continue;
        EXPECT_EQ(EbcdicToAsciiTable[code], ch) << "character " << ch;
        ++written;
    }
    EXPECT_EQ(written, 127);  // all of ASCII but ']'
}

struct EbcdicCase {
    const char* name;
    std::uint8_t character;
    int code;  // -1: none
};

TEST(EncodeCodecs, CharactersTakeTheirCodePage037ByteWhereTheTableReadsTwo) {
    const EbcdicCase cases[] = {
        {"'!' read from 4F and 5A", '!', 0x5A},
        {"'<' read from 14 and 4C", '<', 0x4C},
        {"'`' read from 0A and 79", '`', 0x79},
        {"tab read from 05 and 07", '\t', 0x05},
        {"line feed read from 15 and 25", '\n', 0x25},
        {"'|' not at 037's 4F, which reads as '!'", '|', 0x6A},
        {"'[' at 4A, the only byte read as it", '[', 0x4A},
        {"DEL: 037's 07 reads as a tab, 04 is the first byte read as DEL", 0x7F, 0x04},
        {"']' read from no byte", ']', -1},
        {"a byte above ASCII", 0xE9, -1},
    };
    for (const EbcdicCase& c : cases) {
        std::uint8_t out = 0;
        const int refused = AsciiToEbcdic(1, &c.character, &out);
        EXPECT_EQ(refused, c.code < 0 ? 0 : -1) << c.name;
        if (c.code >= 0) {
            EXPECT_EQ(out, c.code) << c.name;
        }
    }
    // The vector translation of long runs says the same.
    std::uint8_t text[80];
    std::uint8_t out[80];
    for (int i = 0; i < 80; ++i)
        text[i] = static_cast<std::uint8_t>('A' + i % 26);
    EXPECT_EQ(AsciiToEbcdic(80, text, out), -1);
    EXPECT_EQ(out[79], 0xC2);  // 'B'
    text[70] = ']';
    EXPECT_EQ(AsciiToEbcdic(80, text, out), 70);
}

TEST(EncodeCodecs, LongHexAndBitTextReadBackAsTheirBytes) {
    std::uint8_t bytes[37];
    for (int i = 0; i < 37; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 0x5A);
    std::uint8_t text[8 * 37];
    std::uint8_t back[37];
    BytesToHexTextEbcdic(37, bytes, text);
    ASSERT_EQ(HexTextToBytesEbcdic(74, back, text, 37), 37);
    EXPECT_TRUE(std::equal(bytes, bytes + 37, back));
    BytesToBitTextEbcdic(37, bytes, text);
    ASSERT_TRUE(BitTextToBytesEbcdic(37, text, back));
    EXPECT_TRUE(std::equal(bytes, bytes + 37, back));
    BytesToHexText(37, bytes, text);
    EXPECT_EQ(std::string(text, text + 6), "5A6168");  // upper case
}

}  // namespace
