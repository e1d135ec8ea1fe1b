#include "encode/codecs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../content/hex_bytes.h"
#include "decode/codecs.h"
#include "support/text.h"

namespace {

std::string Hex(const std::uint8_t* bytes, int count) {
    std::string hex;
    AssignHex(hex, bytes, count);
    return hex;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return Hex(bytes.data(), static_cast<int>(bytes.size()));
}

struct PackedCase {
    const char* name;
    const char* digits;
    int count;
    const char* hex;  // nullptr: refused
};

TEST(EncodeCodecs, DigitsPackRightAlignedBehindZeroPads) {
    const PackedCase cases[] = {
        {"even count", "1234", 2, "1234"},
        {"odd count takes a leading pad nibble", "123", 2, "0123"},
        {"one digit", "7", 1, "07"},
        {"room to spare is zero bytes", "45", 3, "000045"},
        {"a letter", "12A4", 2, nullptr},
        {"a character just past nine", "1:", 1, nullptr},
        {"more digits than nibbles", "12345", 2, nullptr},
    };
    for (const PackedCase& c : cases) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(c.count) + 1, 0xEE);
        const auto* digits = reinterpret_cast<const std::uint8_t*>(c.digits);
        const int width = static_cast<int>(std::strlen(c.digits));
        const bool packed = DigitsToPackedBcd(width, digits, c.count, bytes.data());
        ASSERT_EQ(packed, c.hex != nullptr) << c.name;
        if (!packed) continue;
        EXPECT_EQ(Hex(bytes.data(), c.count), c.hex) << c.name;
        EXPECT_EQ(bytes[static_cast<std::size_t>(c.count)], 0xEE) << c.name << ": wrote past";
        std::vector<std::uint8_t> back(static_cast<std::size_t>(width));
        ASSERT_TRUE(PackedBcdToDigits(c.count, width, bytes.data(), back.data())) << c.name;
        EXPECT_EQ(std::string(back.begin(), back.end()), c.digits) << c.name;
    }
}

struct NumberCase {
    const char* name;
    std::uint32_t value;
    int count;
    const char* bigEndian;  // nullptr: does not fit
    const char* packed;
    const char* decimal;
    const char* hex;
};

TEST(EncodeCodecs, LengthsFitTheirUnitsOrAreRefused) {
    const NumberCase cases[] = {
        {"9999 in two units", 9999, 2, "270F", "9999", nullptr, nullptr},
        {"255 in one unit", 255, 1, "FF", nullptr, nullptr, nullptr},
        {"256 in one unit", 256, 1, nullptr, nullptr, nullptr, nullptr},
        {"zero", 0, 3, "000000", "000000", "000", "000"},
        {"leading zeros", 37, 3, "000025", "000037", "037", "025"},
        {"four bytes whole", 70000, 4, "00011170", "00070000", nullptr, nullptr},
    };
    for (const NumberCase& c : cases) {
        std::uint8_t out[8];
        const auto check = [&](bool fits, const char* expected, int units, const char* form) {
            ASSERT_EQ(fits, expected != nullptr) << c.name << " as " << form;
            if (fits) {
                EXPECT_EQ(Hex(out, units), expected) << c.name << " as " << form;
            }
        };
        check(IntToBigEndian(c.value, c.count, out), c.bigEndian, c.count, "bytes");
        check(IntToPackedBcd(c.value, c.count, out), c.packed, c.count, "packed");
        const bool decimal = IntToRadixText(c.value, c.count, 10, out);
        ASSERT_EQ(decimal, c.decimal != nullptr) << c.name;
        if (decimal) {
            EXPECT_EQ(std::string(out, out + c.count), c.decimal) << c.name;
        }
        const bool hex = IntToRadixText(c.value, c.count, 16, out);
        ASSERT_EQ(hex, c.hex != nullptr) << c.name;
        if (hex) {
            EXPECT_EQ(std::string(out, out + c.count), c.hex) << c.name;
        }
    }
}

TEST(EncodeCodecs, EbcdicDigitsReadBackAsTheNumber) {
    std::uint8_t text[5];
    ASSERT_TRUE(IntToRadixTextEbcdic(1234, 5, 10, text));
    EXPECT_EQ(Hex(text, 5), "F0F1F2F3F4");
    EXPECT_EQ(ParseRadixTextEbcdic(text, 5, 10), 1234);
    ASSERT_TRUE(IntToRadixTextEbcdic(0xABC, 3, 16, text));
    EXPECT_EQ(Hex(text, 3), "C1C2C3");
    EXPECT_EQ(ParseRadixTextEbcdic(text, 3, 16), 0xABC);
}

// Every character the decode table yields comes back from the byte picked for it.
TEST(EncodeCodecs, EveryCharacterWithAnEbcdicByteReadsBack) {
    int written = 0;
    for (int ch = 0; ch < 256; ++ch) {
        const std::uint8_t code = AsciiToEbcdicTable[ch];
        if (code == kNoEbcdicCode) continue;
        EXPECT_EQ(EbcdicToAsciiTable[code], ch) << "character " << ch;
        ++written;
    }
    // Every character below 0x80 but ']' has a byte; none above.
    EXPECT_EQ(written, 127);
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
        {"'[' at 4A, the table's only byte for it", '[', 0x4A},
        {"DEL: 037's 07 reads as a tab, 04 is the first byte read as DEL", 0x7F, 0x04},
        {"']' read from no byte", ']', -1},
        {"a byte above ASCII", 0xE9, -1},
        {"digits", '7', 0xF7},
        {"letters", 'z', 0xA9},
    };
    for (const EbcdicCase& c : cases) {
        std::uint8_t out = 0;
        const int refused = AsciiToEbcdic(1, &c.character, &out);
        if (c.code < 0) {
            EXPECT_EQ(refused, 0) << c.name;
        } else {
            EXPECT_EQ(refused, -1) << c.name;
            EXPECT_EQ(out, c.code) << c.name;
        }
    }
}

TEST(EncodeCodecs, TranslationNamesTheFirstCharacterWithoutAByte) {
    const std::vector<std::uint8_t> text = TextBytes("AB]C]");
    std::vector<std::uint8_t> out(text.size());
    EXPECT_EQ(AsciiToEbcdic(5, text.data(), out.data()), 2);
    EXPECT_EQ(AsciiToEbcdic(2, text.data(), out.data()), -1);
    EXPECT_EQ(Hex(out.data(), 2), "C1C2");
}

TEST(EncodeCodecs, HexAndBitTextReadBackAsTheBytes) {
    const std::vector<std::uint8_t> bytes = HexBytes("00 7F A5 FF");
    std::vector<std::uint8_t> text(32);
    std::vector<std::uint8_t> back(4);

    BytesToHexText(4, bytes.data(), text.data());
    EXPECT_EQ(std::string(text.begin(), text.begin() + 8), "007FA5FF");
    BytesToHexTextEbcdic(4, bytes.data(), text.data());
    EXPECT_EQ(HexTextToBytesEbcdic(8, back.data(), text.data(), 4), 4);
    EXPECT_EQ(Hex(back), "007FA5FF");

    BytesToBitText(4, bytes.data(), text.data());
    EXPECT_EQ(std::string(text.begin() + 16, text.begin() + 24), "10100101");
    ASSERT_TRUE(BitTextToBytes(4, text.data(), back.data()));
    EXPECT_EQ(Hex(back), "007FA5FF");
    BytesToBitTextEbcdic(4, bytes.data(), text.data());
    EXPECT_EQ(text[0], 0xF0);
    ASSERT_TRUE(BitTextToBytesEbcdic(4, text.data(), back.data()));
    EXPECT_EQ(Hex(back), "007FA5FF");
}

}  // namespace
