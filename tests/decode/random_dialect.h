// Definitions drawn at random over every encoding, type, size and prefix size the tables
// allow, and some they do not (prefixes of 6 units, negative sizes), with messages of a few
// fields over units that mostly look like small digits, so that lengths read and values
// convert often enough to reach every rule: the corpus of the decoder's differential tests.
#pragma once

#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/protocol.h"

// A bitmap in the definition's form, so that random messages reach their fields.
inline std::string BitmapUnits(const ProtocolDef& def, const FieldMask& mask) {
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    const auto digit = [ebcdic](int v) {
        return static_cast<char>(v < 10 ? (ebcdic ? 0xF0 : '0') + v
                                        : (ebcdic ? 0xC1 : 'A') + v - 10);
    };
    std::string units;
    for (int i = 0; i < (TestBit(mask, 1) ? 16 : 8); ++i) {
        if (def.bmpEnc == Encoding::HEX) {
            units += {digit(mask[i] >> 4), digit(mask[i] & 15)};
        } else if (def.bmpEnc == Encoding::CHAR) {
            for (int b = 7; b >= 0; --b)
                units.push_back(digit(mask[i] >> b & 1));
        } else {
            units.push_back(static_cast<char>(mask[i]));
        }
    }
    return units;
}

// Random encodings and fields, and one message definition, 0100, that allows every field.
inline void RandomDialect(std::mt19937& random, ProtocolDef& def) {
    constexpr std::int16_t kPrefixSizes[] = {0, 0, 0, 1, 1, 2, 2, 3, 4, 5, 6, -1};
    constexpr std::int16_t kSizes[] = {1, 1, 2, 3, 4, 4, 6, 8, 8, 12, 19, 37, 99, 999, 8192, 0, -3};
    const auto encoding = [&random] { return static_cast<Encoding>(random() % kEncodingCount); };
    def.mtiEnc = encoding();
    def.bmpEnc = encoding();
    def.lenEnc = encoding();
    def.numEnc = encoding();
    def.chrEnc = random() % 2 ? Encoding::EBCDIC : encoding();
    def.binEnc = encoding();
    for (int n = 2; n <= kLastField; ++n) {
        FldDef& field = def.fields[n];
        field.type = static_cast<FieldType>(random() % kFieldTypeCount);
        field.size = kSizes[random() % std::size(kSizes)];
        field.sizeLen = kPrefixSizes[random() % std::size(kPrefixSizes)];
    }
    auto msg = std::make_unique<MsgDef>();
    InitMsgDef(*msg, def);
    std::memcpy(msg->mti, "0100", 5);
    for (int n = 1; n <= kLastField; ++n)
        SetBit(random() % 4 == 0 ? msg->mandatory : msg->optional, n);
    def.messages.PutIfEmpty(0, msg);
}

// count messages of MTI 0100 with a few fields each. With packed, some messages are packed
// digits with now and then the nibble D, the track separator.
inline std::vector<std::string> RandomMessages(std::mt19937& random, const ProtocolDef& def,
                                               int count, bool packed = false) {
    const auto unit = [&random](int mode) -> char {
        const unsigned small = random() % 4 == 0 ? random() % 10 : random() % 2;
        switch (mode) {
            case 0:
                return static_cast<char>('0' + small);
            case 1:
                return static_cast<char>(0xF0 + small);  // EBCDIC digits
            case 2:
                return static_cast<char>(small);
            case 3:
                return "0123456789ABCDEF"[random() % 16];
            case 4:
                return static_cast<char>(random());
            default: {
                const auto nibble = [&random] {
                    const unsigned v = random() % 12;
                    return v < 10 ? v : v == 10 ? 0xDu : 0u;
                };
                return static_cast<char>(nibble() << 4 | nibble());
            }
        }
    };
    std::vector<std::string> messages;
    for (int k = 0; k < count; ++k) {
        std::string units = def.mtiEnc == Encoding::PBCD     ? std::string("\x01\x00", 2)
                            : def.chrEnc == Encoding::EBCDIC ? "\xF0\xF1\xF0\xF0"
                                                             : "0100";
        FieldMask mask{};
        for (int f = random() % 6; f >= 0; --f)
            SetBit(mask, 2 + static_cast<int>(random() % 127));
        if (random() % 3 == 0) SetBit(mask, 1);
        units += BitmapUnits(def, mask);
        const int mode = static_cast<int>(random() % (packed ? 6 : 5));
        for (std::size_t i = random() % 600; i > 0; --i)
            units.push_back(unit(mode));
        messages.push_back(units);
    }
    return messages;
}
