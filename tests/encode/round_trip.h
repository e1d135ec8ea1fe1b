// What the encoder's tests share: decoding a message exactly, drafting it again from its
// decoded fields, and random values that the definition holds.
#pragma once

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decode/codecs.h"
#include "decode/decoder.h"
#include "encode/codecs.h"
#include "encode/encoder.h"
#include "encode/field_with_settings.h"
#include "support/text.h"

struct DecodedMessage {
    std::string mti;
    FieldMask bitmap{};
    std::vector<std::pair<int, std::string>> fields;  // number, value bytes
    std::string verdict;

    bool operator==(const DecodedMessage&) const = default;
};

// Whether the units (without header) decode exactly: MTI, bitmap and every field read, and no
// unit after the last field.
inline bool DecodeExactly(const std::vector<std::uint8_t>& units, const ProtocolDef& def,
                          DecodedMessage& decoded) {
    decoded = DecodedMessage{};
    if (units.empty() || units.size() > static_cast<std::size_t>(kMaxMessageUnits)) return false;
    AutoBuff message;
    message.Reserve(static_cast<int>(units.size()) + 1, false);
    std::memcpy(message.Data(), units.data(), units.size());
    message.SetLength(static_cast<int>(units.size()));
    int end = -1;
    const FieldConsumer consumer = [&](const DecodedField& field) {
        decoded.fields.emplace_back(field.number,
                                    std::string(reinterpret_cast<const char*>(field.value->Data()),
                                                static_cast<std::size_t>(field.value->Length())));
        end = field.offset + field.consumed;
        return true;
    };
    AutoBuff verdict;
    MessageHeader header;
    DecodeMessage(message, def, consumer, verdict, &header);
    decoded.mti = header.mti;
    decoded.bitmap = header.bitmap;
    decoded.verdict = verdict.Length() > 0 ? verdict.Text() : "";
    if (decoded.fields.empty()) {
        // Only the MTI and the bitmap blocks.
        const int block = def.bmpEnc == Encoding::HEX ? 16 : def.bmpEnc == Encoding::CHAR ? 64 : 8;
        end = (def.mtiEnc == Encoding::PBCD ? 2 : 4) + block * (TestBit(header.bitmap, 1) ? 2 : 1);
    }
    return verdict.Length() > 0 && decoded.verdict.rfind("Error", 0) != 0 &&
           end == static_cast<int>(units.size());
}

// The draft of a decoded message, its values as the decoder's units.
inline void DraftOf(const DecodedMessage& decoded, MessageDraft& draft) {
    draft.Clear();
    draft.SetMti(decoded.mti);
    draft.AnnounceSecondaryBitmap(TestBit(decoded.bitmap, 1));
    for (const auto& [n, value] : decoded.fields)
        draft.SetField(n, value, ValueForm::kUnits);
}

// The value as the checker shows it: hex of binary values, the digits of numbers held in binary.
inline std::string ShownValue(const ProtocolDef& def, int n, const std::string& units) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(units.data());
    if (ValueIsBinary(def, n)) {
        std::string hex;
        AssignHex(hex, bytes, static_cast<int>(units.size()));
        return hex;
    }
    std::string digits;
    NumberDigits(def, n, {bytes, units.size()}, digits);
    return digits;
}

// A random value of length units that field n holds, as the decoder would yield it.
inline std::string RandomValue(std::mt19937& random, const ProtocolDef& def, int n, int length) {
    const ValueRules rules = FieldRules(def, n);
    const Encoding e = rules.dataEnc;
    const bool binary = rules.type == FieldType::B || rules.type == FieldType::Z;
    std::string value(static_cast<std::size_t>(length), '\0');
    if (NumberHeldInBinary(def, n)) {
        // The number's bytes lead, the decoder's zeros follow; a number of more than length
        // digits has no shown form. Under EBCDIC the decoder translates a BIGEND number's bytes
        // as characters, so each must be one that some EBCDIC byte reads as.
        const int bits = DecimalBits(length);
        const int held =
            std::min(length, e == Encoding::BIGEND ? (bits + 7) / 8 : (bits + 3) / 4 / 2);
        const bool translated = e == Encoding::BIGEND && rules.charset == Encoding::EBCDIC;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::uint64_t number = 0;
            for (int i = 0; i < held; ++i) {
                std::uint8_t b = 0;
                do {
                    b = static_cast<std::uint8_t>(translated ? random() % 128 : random());
                } while (translated && AsciiToEbcdicTable[b] == kNoEbcdicCode);
                value[static_cast<std::size_t>(i)] = static_cast<char>(i == 0 && held > 8 ? 0 : b);
                number =
                    number << 8 | static_cast<std::uint8_t>(value[static_cast<std::size_t>(i)]);
            }
            std::uint64_t limit = 1;
            for (int i = 0; i < length && i < 19; ++i)
                limit *= 10;
            if (held > 8 || length >= 19 || number < limit) return value;
        }
        return std::string(static_cast<std::size_t>(length), '\0');
    }
    const bool track = e == Encoding::PBCD && def.settings[n].binEnc == Encoding::PBCD;
    for (char& ch : value) {
        if (rules.type == FieldType::N || e == Encoding::PBCD) {
            ch = track && random() % 8 == 0 ? '=' : static_cast<char>('0' + random() % 10);
        } else if (binary) {
            ch = static_cast<char>(random());
        } else if (rules.charset == Encoding::EBCDIC) {
            do {
                ch = static_cast<char>(random() % 128);
            } while (AsciiToEbcdicTable[static_cast<std::uint8_t>(ch)] == kNoEbcdicCode ||
                     ch == '*');
        } else {
            // '*' would read as a masked value in the shown form.
            do {
                ch = static_cast<char>(random());
            } while (ch == '*');
        }
    }
    return value;
}
