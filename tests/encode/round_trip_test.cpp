// The encoder's oracle is the decoder: values encoded decode to themselves, and a message the
// decoder reads exactly encodes to its own units, except where the decoder drops what a unit
// held, which the table of such cases names.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../content/hex_bytes.h"
#include "acquirer_corpus.h"
#include "decode/codecs.h"
#include "decode/decoder.h"
#include "encode/codecs.h"
#include "encode/encoder.h"
#include "encode/field_with_settings.h"
#include "model/pro_file.h"
#include "support/text.h"
#include "typical_message.h"

namespace {

using E = Encoding;
using Units = std::vector<std::uint8_t>;

Units Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string H(const std::string& hex) {
    const Units bytes = HexBytes(hex);
    return {bytes.begin(), bytes.end()};
}

std::unique_ptr<ProtocolDef> Load(const std::string& path) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    std::string error;
    EXPECT_TRUE(LoadProtocolFile(path, *def, error)) << error;
    return def;
}

// MTI, bitmap, length, numeric, character and binary encodings.
void SetEncodings(ProtocolDef& def, const std::array<E, 6>& e) {
    def.mtiEnc = e[0];
    def.bmpEnc = e[1];
    PickEncoding(def, EncodingRole::kLength, e[2]);
    def.numEnc = e[3];
    def.chrEnc = e[4];
    def.binEnc = e[5];
}

struct Decoded {
    std::string mti;
    FieldMask bitmap{};
    std::vector<std::pair<int, std::string>> fields;
    std::string verdict;

    bool operator==(const Decoded& other) const {
        return mti == other.mti && bitmap == other.bitmap && fields == other.fields;
    }
};

// Whether the units decode exactly: MTI, bitmap and every field read, nothing after them.
bool DecodeExactly(const Units& units, const ProtocolDef& def, Decoded& decoded) {
    decoded = Decoded{};
    AutoBuff message;
    message.Reserve(static_cast<int>(units.size()) + 1, false);
    std::memcpy(message.Data(), units.data(), units.size());
    message.SetLength(static_cast<int>(units.size()));
    // Without fields, the MTI and the bitmap blocks end the message.
    int end = 0;
    const FieldConsumer consumer = [&](const DecodedField& field) {
        const auto* value = reinterpret_cast<const char*>(field.value->Data());
        decoded.fields.emplace_back(
            field.number, std::string(value, static_cast<std::size_t>(field.value->Length())));
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
        const int block = def.bmpEnc == E::HEX ? 16 : def.bmpEnc == E::CHAR ? 64 : 8;
        end = (def.mtiEnc == E::PBCD ? 2 : 4) + block * (TestBit(header.bitmap, 1) ? 2 : 1);
    }
    return !decoded.verdict.empty() && !decoded.verdict.starts_with("Error") &&
           end == static_cast<int>(units.size());
}

void DraftOf(const Decoded& decoded, MessageDraft& draft) {
    draft.Clear();
    draft.SetMti(decoded.mti);
    draft.AnnounceSecondaryBitmap(TestBit(decoded.bitmap, 1));
    for (const auto& [n, value] : decoded.fields)
        draft.SetField(n, value, ValueForm::kUnits);
}

// The value as the checker shows it: hex of binary values, the digits of numbers held in binary.
std::string Shown(const ProtocolDef& def, int n, const std::string& units) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(units.data());
    std::string shown;
    if (ValueIsBinary(def, n)) {
        AssignHex(shown, bytes, static_cast<int>(units.size()));
    } else {
        NumberDigits(def, n, {bytes, units.size()}, shown);
    }
    return shown;
}

// A random value of length units as the decoder yields it for field n. A number held in binary
// is one of at most length digits, its bytes then zeros; under EBCDIC the decoder translates a
// BIGEND number's bytes as characters, so each must be one that some EBCDIC byte reads as (else
// the number is 0).
std::string RandomValue(std::mt19937& random, const ProtocolDef& def, int n, int length) {
    const ValueRules rules = FieldRules(def, n);
    const E e = rules.dataEnc;
    const bool ebcdic = rules.charset == E::EBCDIC;
    const auto character = [&](bool only7Bits) {
        for (;;) {
            const auto ch = static_cast<std::uint8_t>(only7Bits ? random() % 128 : random());
            // '*' would read as a masked value in the shown form.
            if (ch != '*' && (!only7Bits || AsciiToEbcdicTable[ch] != kNoEbcdicCode)) return ch;
        }
    };
    std::string value(static_cast<std::size_t>(length), '\0');
    if (NumberHeldInBinary(def, n)) {
        const int bits = DecimalBits(length);
        const int held = std::min(length, e == E::BIGEND ? (bits + 7) / 8 : (bits + 3) / 4 / 2);
        for (int attempt = 0; attempt < 100; ++attempt) {
            // A number of up to length digits, into its bytes by multiplying them by ten.
            Units number(static_cast<std::size_t>(held), 0);
            for (int i = static_cast<int>(random() % (length + 1)); i > 0; --i) {
                unsigned carry = random() % 10;
                for (int k = held - 1; k >= 0; --k) {
                    const unsigned v = number[static_cast<std::size_t>(k)] * 10u + carry;
                    number[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v);
                    carry = v >> 8;
                }
            }
            const bool readable = !(e == E::BIGEND && ebcdic) ||
                                  std::all_of(number.begin(), number.end(), [](std::uint8_t b) {
                                      return AsciiToEbcdicTable[b] != kNoEbcdicCode;
                                  });
            if (readable) {
                std::copy(number.begin(), number.end(), value.begin());
                break;
            }
        }
        return value;
    }
    const bool track = e == E::PBCD && def.settings[n].binEnc == E::PBCD;
    const bool binary = rules.type == FieldType::B || rules.type == FieldType::Z;
    for (char& ch : value) {
        if (rules.type == FieldType::N || e == E::PBCD) {
            ch = track && random() % 8 == 0 ? '=' : static_cast<char>('0' + random() % 10);
        } else {
            ch = static_cast<char>(character(!binary && ebcdic));
        }
    }
    return value;
}

int DigitCount(int value, int radix) {
    int count = 1;
    for (; value >= radix; value /= radix)
        ++count;
    return count;
}

// Settings of their own on some fields, of kinds their types take, prefixes sized to suit.
void RandomSettings(std::mt19937& random, ProtocolDef& def) {
    const auto pick = [&random](std::initializer_list<E> from) {
        return from.begin()[random() % from.size()];
    };
    for (int k = 0; k < 40; ++k) {
        const int n = 2 + static_cast<int>(random() % 127);
        FldDef& field = def.fields[n];
        FieldSettings& s = def.settings[n];
        if (field.type == FieldType::N) s.numEnc = pick({E::BIGEND, E::PBCD, E::HEX, E::CHAR});
        if (field.type == FieldType::B) s.binEnc = pick({E::NONE, E::HEX, E::CHAR});
        if (field.type == FieldType::Z) s.binEnc = pick({E::PBCD, E::NONE});
        if (field.type >= FieldType::A && field.type <= FieldType::AS) {
            s.charset = pick({E::ASCII, E::EBCDIC});
        }
        if (random() % 2) s.padSide = random() % 2 ? PadSide::kRight : PadSide::kLeft;
        if (random() % 2) s.padNibble = random() % 2 ? 0xF : 0;
        if (field.sizeLen == 0) continue;
        s.lenEnc = pick({E::BIGEND, E::PBCD, E::HEX, E::CHAR});
        s.prefixNumber = s.lenEnc == E::BIGEND && random() % 2;
        s.prefixLeftAligned = s.lenEnc == E::PBCD && random() % 2;
        s.prefixNibbles = field.type == FieldType::B && random() % 3 == 0;
        s.sixUnitPrefix = s.lenEnc == E::CHAR && random() % 8 == 0;
        const int digits = DigitCount(field.size, 10);
        const int units = s.prefixNumber          ? 1 + static_cast<int>(random() % 4)
                          : s.lenEnc == E::BIGEND ? (field.size > 255 ? 2 : 1)
                          : s.lenEnc == E::PBCD   ? (digits + 1 + s.prefixLeftAligned) / 2
                          : s.lenEnc == E::HEX    ? DigitCount(field.size, 16)
                          : s.sixUnitPrefix       ? kMaxPrefixUnits
                                                  : digits;
        field.sizeLen = static_cast<std::int16_t>(units);
    }
}

struct NamedDialect {
    std::string name;
    std::unique_ptr<ProtocolDef> def;
};

// Every example definition, dialects like pyiso8583's two default field dictionaries (text:
// character MTI, hex bitmap, digits as characters; binary: character MTI, binary bitmap,
// character lengths) and those derived from them.
std::vector<NamedDialect> Dialects() {
    std::vector<NamedDialect> dialects;
    for (const char* folder : {"", "/dialects"}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(ISO_EXAMPLES_DIR) + folder)) {
            if (entry.path().extension() != ".pro") continue;
            dialects.push_back({entry.path().filename().string(), Load(entry.path().string())});
        }
    }
    const auto derive = [&dialects](const char* name, const std::array<E, 6>& encodings,
                                    int seed = 0) {
        auto def = Load(ISO_EXAMPLES_DIR "/dialects/iso8583-1987-ascii.pro");
        SetEncodings(*def, encodings);
        if (seed != 0) {
            std::mt19937 random(static_cast<unsigned>(seed));
            RandomSettings(random, *def);
            def->options.emptyFields = seed % 2 != 0;
            def->options.header = seed % 2 != 0 ? 5 : -1;
        }
        dialects.push_back({name, std::move(def)});
    };
    derive("text", {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::ASCII, E::NONE});
    derive("binary", {E::CHAR, E::NONE, E::CHAR, E::CHAR, E::ASCII, E::NONE});
    derive("packed numbers and lengths", {E::PBCD, E::NONE, E::PBCD, E::PBCD, E::ASCII, E::NONE});
    derive("BIGEND lengths", {E::CHAR, E::NONE, E::BIGEND, E::PBCD, E::ASCII, E::HEX});
    derive("EBCDIC text", {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::EBCDIC, E::HEX});
    derive("a mix", {E::PBCD, E::CHAR, E::HEX, E::BIGEND, E::EBCDIC, E::CHAR});
    derive("hex numbers", {E::CHAR, E::HEX, E::PBCD, E::HEX, E::ASCII, E::CHAR});
    derive("text with settings, empty fields and a header",
           {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::ASCII, E::NONE}, 11);
    derive("binary with settings", {E::PBCD, E::NONE, E::BIGEND, E::PBCD, E::EBCDIC, E::NONE}, 12);
    return dialects;
}

// A value field n holds, of a random length its prefix can give; false when it holds none (a
// number whose hex digits no reader takes).
bool RandomFieldValue(std::mt19937& random, const ProtocolDef& def, int n, std::string& value) {
    const FldDef& field = def.fields[n];
    const ValueRules rules = FieldRules(def, n);
    int most = field.sizeLen == 0 ? field.size : std::min<int>(field.size, 60);
    for (int attempt = 0; attempt < 12; ++attempt) {
        const bool empty = rules.emptyAllowed && field.sizeLen > 0 && random() % 8 == 0;
        const int length = field.sizeLen == 0 ? field.size
                           : empty            ? 0
                                              : 1 + static_cast<int>(random() % most);
        value = RandomValue(random, def, n, length);
        Units units;
        std::string reason;
        if (EncodeValue(rules, Bytes(value), false, units, reason)) return true;
        const bool shorter = reason.ends_with("in its length prefix");
        if (!shorter && !reason.ends_with("take an odd number of hex digits")) {
            ADD_FAILURE() << "field " << n << ": a valid value refused: " << reason;
            return false;
        }
        if (shorter) most = std::max(1, length / 2);
    }
    return false;
}

TEST(EncodeRoundTrip, RandomValuesDecodeToThemselvesAndTheirBitmap) {
    std::mt19937 random(2024);
    for (const NamedDialect& dialect : Dialects()) {
        const ProtocolDef& def = *dialect.def;
        const DecodePlan plan(def);
        std::vector<int> defined;
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (def.fields[n].type != FieldType::U) defined.push_back(n);
        }
        MessageDraft units;
        MessageDraft shown;
        EncodeScratch scratch;
        for (int m = 0; m < 60; ++m) {
            std::string header;
            for (int i = 0; i < def.options.header; ++i)
                header.push_back(static_cast<char>(random()));
            const bool announced = random() % 5 == 0;
            const char* mti = m % 2 ? "0200" : "0810";
            for (MessageDraft* draft : {&units, &shown}) {
                draft->Clear();
                draft->SetMti(mti);
                draft->SetHeader(Bytes(header));
                draft->AnnounceSecondaryBitmap(announced);
            }
            std::map<int, std::string> values;
            for (int k = 1 + static_cast<int>(random() % 25); k > 0; --k) {
                const int n = defined[random() % defined.size()];
                std::string value;
                if (!RandomFieldValue(random, def, n, value)) continue;
                values[n] = value;
                units.SetField(n, value, ValueForm::kUnits);
                shown.SetField(n, Shown(def, n, value), ValueForm::kShown);
            }
            Units out;
            Units again;
            std::string error;
            scratch.plan = m % 3 ? &plan : nullptr;
            ASSERT_TRUE(EncodeMessage(units, def, {}, out, error, scratch))
                << dialect.name << ": " << error;
            ASSERT_TRUE(EncodeMessage(shown, def, {}, again, error, scratch))
                << dialect.name << ", shown: " << error;
            EXPECT_EQ(again, out) << dialect.name << ": the shown values encode otherwise";
            ASSERT_EQ(Units(out.begin(), out.begin() + static_cast<long>(header.size())),
                      Bytes(header));
            out.erase(out.begin(), out.begin() + static_cast<long>(header.size()));

            Decoded decoded;
            ASSERT_TRUE(DecodeExactly(out, def, decoded))
                << dialect.name << ": " << decoded.verdict;
            FieldMask bitmap{};
            for (const auto& [n, value] : values)
                SetBit(bitmap, n);
            if (announced || (!values.empty() && values.rbegin()->first > 64)) SetBit(bitmap, 1);
            EXPECT_EQ(decoded.mti, mti) << dialect.name;
            EXPECT_EQ(decoded.bitmap, bitmap) << dialect.name;
            const std::vector<std::pair<int, std::string>> given(values.begin(), values.end());
            EXPECT_EQ(decoded.fields, given) << dialect.name;
        }
    }
}

std::vector<std::string> HexFile(const std::string& path) {
    std::vector<std::string> messages;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const bool hex = line.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
        if (hex && line.size() % 2 == 0) messages.push_back(H(line));
    }
    return messages;
}

TEST(EncodeRoundTrip, MessagesDecodedExactlyEncodeToTheirOwnUnits) {
    struct Corpus {
        std::string name;
        std::unique_ptr<ProtocolDef> def;
        std::vector<std::string> messages;
    };
    std::vector<Corpus> corpora;
    for (const char* name : {"demo", "dialect", "subfields", "subfields-binary"}) {
        const std::string base = std::string(ISO_EXAMPLES_DIR) + "/" + name;
        corpora.push_back({name, Load(base + ".pro"), HexFile(base + "-messages.hex")});
    }
    for (const CorpusDialect dialect : {CorpusDialect::kText, CorpusDialect::kEbcdic}) {
        auto def = std::make_unique<ProtocolDef>();
        DefineAcquirer(*def, dialect);
        std::vector<std::string> messages = AcquirerCorpus(*def, 80);
        corpora.push_back({"acquirer corpus", std::move(def), std::move(messages)});
    }
    for (const Dialect dialect : {Dialect::kText, Dialect::kBinary}) {
        auto def = std::make_unique<ProtocolDef>();
        DefineDialect(*def, dialect);
        std::vector<std::string> messages = {TypicalRequest(*def).units, EveryField(*def).units};
        corpora.push_back({"typical and every field", std::move(def), std::move(messages)});
    }
    MessageDraft draft;
    EncodeScratch scratch;
    for (const Corpus& corpus : corpora) {
        int exact = 0;
        for (const std::string& message : corpus.messages) {
            Decoded decoded;
            if (!DecodeExactly(Bytes(message), *corpus.def, decoded)) continue;
            ++exact;
            DraftOf(decoded, draft);
            Units out;
            std::string error;
            ASSERT_TRUE(EncodeMessage(draft, *corpus.def, {}, out, error, scratch))
                << corpus.name << ": " << error;
            EXPECT_EQ(out, Bytes(message)) << corpus.name << ", message " << exact;
        }
        EXPECT_GE(exact, 2) << corpus.name;
    }
}

// A few fields under the encodings given.
std::unique_ptr<ProtocolDef> SmallDialect(const std::array<E, 6>& encodings) {
    using T = FieldType;
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    const struct {
        int n;
        T type;
        std::int16_t size;
        std::int16_t sizeLen;
    } fields[] = {{2, T::N, 19, 1},     {3, T::N, 6, 0},    {22, T::N, 3, 0},
                  {35, T::Z, 37, 1},    {41, T::ANS, 8, 0}, {43, T::ANS, 4, 0},
                  {48, T::ANS, 999, 1}, {52, T::B, 8, 0},   {62, T::B, 99, 1}};
    for (const auto& f : fields)
        DefineField(def->fields[f.n], f.type, f.size, f.sizeLen, false, "");
    SetEncodings(*def, encodings);  // sizes the prefixes
    return def;
}

struct LossyCase {
    const char* name;
    std::array<E, 6> encodings;
    std::function<void(ProtocolDef&)> adjust;
    std::string message;
    std::string encoded;           // what the encoder writes back, or
    const char* reason = nullptr;  // why it refuses the decoded values
};

constexpr std::array<E, 6> kText = {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::ASCII, E::HEX};
constexpr std::array<E, 6> kEbcdic = {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::EBCDIC, E::HEX};

TEST(EncodeRoundTrip, WhereTheDecoderDropsInformationTheUnitsComeBackCanonical) {
    const std::string field41 = H("F0F2F0F0 F0F0F0F0F0F0F0F0F0F0F8F0F0F0F0F0");  // EBCDIC head
    const std::string field48 =
        "0200"
        "0000000000010000";
    // clang-format off
    const LossyCase cases[] = {
        {"hex digits of a bitmap in lower case", kText, {},
         "0200" "0000000000a00000" "TERM0001CITY", "0200" "0000000000A00000" "TERM0001CITY"},
        {"hex digits of a length in lower case", {E::CHAR, E::HEX, E::HEX, E::CHAR, E::ASCII, E::HEX},
         {}, field48 + "01a" + std::string(26, 'A'), field48 + "01A" + std::string(26, 'A')},
        {"hex digits of binary data in lower case", kText, {},
         "0200" "0000000000001000" "0123456789abcdef", "0200" "0000000000001000" "0123456789ABCDEF"},
        {"the pad nibble of an odd packed number, any digit",
         {E::CHAR, E::HEX, E::CHAR, E::PBCD, E::ASCII, E::HEX}, {},
         "0200" "0000040000000000" + H("5123"), "0200" "0000040000000000" + H("0123")},
        {"packed track data padded on the left", kText,
         [](ProtocolDef& def) { def.settings[35].binEnc = E::PBCD; },
         "0200" "0000000020000000" "09" + H("04761D2512"),
         "0200" "0000000020000000" "09" + H("4761D2512F")},
        {"the pad nibble of a left-aligned packed length", kText,
         [](ProtocolDef& def) {
             def.settings[48].lenEnc = E::PBCD;
             def.settings[48].prefixLeftAligned = true;
             def.fields[48].sizeLen = 2;
         },
         field48 + H("0085") + "ABCDEFGH", field48 + H("0080") + "ABCDEFGH"},
        {"the bytes after the first of a binary length read by its first byte",
         {E::CHAR, E::HEX, E::BIGEND, E::CHAR, E::ASCII, E::HEX},
         [](ProtocolDef& def) { def.fields[48].sizeLen = 3; },
         field48 + H("02FFFF") + "AB", field48 + H("020000") + "AB"},
        {"an odd count of nibbles, read as the bytes holding them", kText,
         [](ProtocolDef& def) {
             def.settings[62].prefixNibbles = true;
             def.settings[62].binEnc = E::NONE;
         },
         "0200" "0000000000000004" "05" + H("ABCDEF"), "0200" "0000000000000004" "06" + H("ABCDEF")},
        {"a length of 65536 or more, read modulo 65536", kText,
         [](ProtocolDef& def) { def.fields[48].sizeLen = 5; },
         field48 + "65537" "A", field48 + "00001" "A"},
        {"EBCDIC bytes the table reads as the character of another byte", kEbcdic, {},
         field41 + H("4F 15 07 14 0A C1 C2 C3"), field41 + H("5A 25 05 4C 79 C1 C2 C3")},
        {"EBCDIC bytes the table leaves unassigned, all read as DEL", kEbcdic, {},
         field41 + H("41 B0 FF C1 C2 C3 C4 C5"), field41 + H("04 04 04 C1 C2 C3 C4 C5")},
        {"a unit of bit text that is no digit ends the bitmap",
         {E::CHAR, E::CHAR, E::CHAR, E::CHAR, E::ASCII, E::HEX}, {},
         "0200" "001X" + std::string(60, '0') + "123456", "0200" "0010" + std::string(60, '0') + "123456"},
        {"a hex pair of the bitmap that is no number ends it", kText, {},
         "0200" "20000000000000ZZ" "123456", "0200" "2000000000000000" "123456"},
        {"a numeric field holding a letter", kText, {}, "0200" "2000000000000000" "1A3456", "",
         "field 3: 'A' is not a digit"},
        {"a length above the field's size", kText, {},
         "0200" "4000000000000000" "20" "12345678901234567890", "", "field 2: 20 digits, at most 19"},
        {"a packed MTI that is not four digits, read as none",
         {E::PBCD, E::HEX, E::CHAR, E::CHAR, E::ASCII, E::HEX}, {},
         H("0A00") + "2000000000000000" "123456", "", "mti: 0 characters, fixed at 4"},
    };
    // clang-format on
    MessageDraft draft;
    EncodeScratch scratch;
    for (const LossyCase& c : cases) {
        auto def = SmallDialect(c.encodings);
        if (c.adjust) c.adjust(*def);
        Decoded decoded;
        ASSERT_TRUE(DecodeExactly(Bytes(c.message), *def, decoded))
            << c.name << ": " << decoded.verdict;
        DraftOf(decoded, draft);
        Units out;
        std::string error;
        const bool encoded = EncodeMessage(draft, *def, {}, out, error, scratch);
        if (c.reason != nullptr) {
            EXPECT_FALSE(encoded) << c.name;
            EXPECT_EQ(error, c.reason) << c.name;
            continue;
        }
        ASSERT_TRUE(encoded) << c.name << ": " << error;
        EXPECT_EQ(out, Bytes(c.encoded)) << c.name;
        EXPECT_NE(out, Bytes(c.message)) << c.name << ": nothing was dropped";
        Decoded again;
        ASSERT_TRUE(DecodeExactly(out, *def, again)) << c.name;
        EXPECT_EQ(again, decoded) << c.name;
    }
}

}  // namespace
