// The encoder's oracle is the decoder: values encoded decode to themselves, and a message the
// decoder reads exactly encodes to its own units, except where the decoder drops what a unit
// held, which the table of such cases names.
#include <gtest/gtest.h>

#include <array>
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
#include "model/pro_file.h"
#include "round_trip.h"
#include "typical_message.h"

namespace {

using E = Encoding;

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string H(const std::string& hex) {
    const std::vector<std::uint8_t> bytes = HexBytes(hex);
    return {bytes.begin(), bytes.end()};
}

std::unique_ptr<ProtocolDef> Load(const std::string& path) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    std::string error;
    EXPECT_TRUE(LoadProtocolFile(path, *def, error)) << error;
    return def;
}

void SetEncodings(ProtocolDef& def, const std::array<E, 6>& e) {
    def.mtiEnc = e[0];
    def.bmpEnc = e[1];
    PickEncoding(def, EncodingRole::kLength, e[2]);
    def.numEnc = e[3];
    def.chrEnc = e[4];
    def.binEnc = e[5];
}

int DigitCount(int value, int radix) {
    int count = 1;
    for (; value >= radix; value /= radix)
        ++count;
    return count;
}

// Settings of their own on some fields, each of a kind its type takes, with prefixes sized to
// their encoding.
void RandomSettings(std::mt19937& random, ProtocolDef& def) {
    const auto pick = [&random](std::initializer_list<E> from) {
        return from.begin()[random() % from.size()];
    };
    for (int k = 0; k < 40; ++k) {
        const int n = 2 + static_cast<int>(random() % 127);
        FldDef& field = def.fields[n];
        FieldSettings& s = def.settings[n];
        if (field.type == FieldType::U) continue;
        if (field.type == FieldType::N) {
            s.numEnc = pick({E::BIGEND, E::PBCD, E::HEX, E::CHAR});
        } else if (field.type == FieldType::B) {
            s.binEnc = pick({E::NONE, E::HEX, E::CHAR});
        } else if (field.type == FieldType::Z) {
            s.binEnc = pick({E::PBCD, E::NONE});
        } else {
            s.charset = pick({E::ASCII, E::EBCDIC});
        }
        if (random() % 2) s.padSide = random() % 2 ? PadSide::kRight : PadSide::kLeft;
        if (random() % 2) s.padNibble = random() % 2 ? 0xF : 0;
        if (field.sizeLen == 0) continue;
        const E len = pick({E::BIGEND, E::PBCD, E::HEX, E::CHAR});
        s.lenEnc = len;
        switch (len) {
            case E::BIGEND:
                field.sizeLen = field.size > 255 ? 2 : 1;
                s.prefixNumber = random() % 2 == 0;
                if (s.prefixNumber) field.sizeLen = static_cast<std::int16_t>(1 + random() % 4);
                break;
            case E::PBCD:
                s.prefixLeftAligned = random() % 2 == 0;
                field.sizeLen = static_cast<std::int16_t>(
                    (DigitCount(field.size, 10) + (s.prefixLeftAligned ? 2 : 1)) / 2);
                break;
            case E::HEX:
                field.sizeLen = static_cast<std::int16_t>(DigitCount(field.size, 16));
                break;
            default:
                field.sizeLen = static_cast<std::int16_t>(DigitCount(field.size, 10));
                break;
        }
        s.prefixNibbles = field.type == FieldType::B && random() % 3 == 0;
        if (len == E::CHAR && random() % 8 == 0) {
            s.sixUnitPrefix = true;
            field.sizeLen = kMaxPrefixUnits;
        }
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
    const std::string layout = std::string(ISO_EXAMPLES_DIR) + "/dialects/iso8583-1987-ascii.pro";
    const auto derive = [&](const char* name, const std::array<E, 6>& encodings,
                            const std::function<void(ProtocolDef&)>& more = {}) {
        auto def = Load(layout);
        SetEncodings(*def, encodings);
        if (more) more(*def);
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
           {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::ASCII, E::NONE}, [](ProtocolDef& def) {
               std::mt19937 random(11);
               RandomSettings(random, def);
               def.options.emptyFields = true;
               def.options.header = 5;
           });
    derive("binary with settings", {E::PBCD, E::NONE, E::BIGEND, E::PBCD, E::EBCDIC, E::NONE},
           [](ProtocolDef& def) {
               std::mt19937 random(12);
               RandomSettings(random, def);
           });
    return dialects;
}

// A value field n holds, of a random length its prefix can give; false when the field holds
// none (a number whose hex digits no reader takes).
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
        std::vector<std::uint8_t> units;
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
        ASSERT_FALSE(defined.empty()) << dialect.name;
        MessageDraft units;
        MessageDraft shown;
        EncodeScratch scratch;
        int encoded = 0;
        for (int m = 0; m < 60; ++m) {
            units.Clear();
            shown.Clear();
            const char* mti = m % 2 ? "0200" : "0810";
            units.SetMti(mti);
            shown.SetMti(mti);
            std::string header;
            for (int i = 0; i < def.options.header; ++i)
                header.push_back(static_cast<char>(random()));
            units.SetHeader(Bytes(header));
            shown.SetHeader(Bytes(header));
            const bool announced = random() % 5 == 0;
            units.AnnounceSecondaryBitmap(announced);
            shown.AnnounceSecondaryBitmap(announced);
            std::map<int, std::string> values;
            for (int k = 1 + static_cast<int>(random() % 25); k > 0; --k) {
                const int n = defined[random() % defined.size()];
                std::string value;
                if (!RandomFieldValue(random, def, n, value)) continue;
                values[n] = value;
                units.SetField(n, value, ValueForm::kUnits);
                shown.SetField(n, ShownValue(def, n, value), ValueForm::kShown);
            }
            std::vector<std::uint8_t> out;
            std::vector<std::uint8_t> again;
            std::string error;
            scratch.plan = m % 3 ? &plan : nullptr;
            ASSERT_TRUE(EncodeMessage(units, def, {}, out, error, scratch))
                << dialect.name << ": " << error;
            ASSERT_TRUE(EncodeMessage(shown, def, {}, again, error, scratch))
                << dialect.name << ", shown: " << error;
            EXPECT_EQ(again, out) << dialect.name << ": the shown values encode otherwise";
            ASSERT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(header.size())),
                      header);
            out.erase(out.begin(), out.begin() + static_cast<long>(header.size()));

            DecodedMessage decoded;
            ASSERT_TRUE(DecodeExactly(out, def, decoded))
                << dialect.name << ": " << decoded.verdict;
            EXPECT_EQ(decoded.mti, mti) << dialect.name;
            FieldMask bitmap{};
            for (const auto& [n, value] : values)
                SetBit(bitmap, n);
            if (announced || (!values.empty() && values.rbegin()->first > 64)) SetBit(bitmap, 1);
            EXPECT_EQ(decoded.bitmap, bitmap) << dialect.name;
            const std::vector<std::pair<int, std::string>> expected(values.begin(), values.end());
            EXPECT_EQ(decoded.fields, expected) << dialect.name;
            ++encoded;
        }
        EXPECT_EQ(encoded, 60) << dialect.name;
    }
}

std::vector<std::string> HexFile(const std::string& path) {
    std::vector<std::string> messages;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) continue;
        if (line.size() % 2 == 0) messages.push_back(H(line));
    }
    return messages;
}

struct Corpus {
    std::string name;
    std::unique_ptr<ProtocolDef> def;
    std::vector<std::string> messages;
};

std::vector<Corpus> Corpora() {
    std::vector<Corpus> corpora;
    const std::string examples = ISO_EXAMPLES_DIR;
    for (const auto& [pro, hex] : std::vector<std::pair<std::string, std::string>>{
             {"demo.pro", "demo-messages.hex"},
             {"dialect.pro", "dialect-messages.hex"},
             {"subfields.pro", "subfields-messages.hex"},
             {"subfields-binary.pro", "subfields-binary-messages.hex"}}) {
        corpora.push_back({hex, Load(examples + "/" + pro), HexFile(examples + "/" + hex)});
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
    return corpora;
}

TEST(EncodeRoundTrip, MessagesDecodedExactlyEncodeToTheirOwnUnits) {
    MessageDraft draft;
    EncodeScratch scratch;
    for (const Corpus& corpus : Corpora()) {
        int exact = 0;
        for (const std::string& message : corpus.messages) {
            DecodedMessage decoded;
            if (!DecodeExactly(Bytes(message), *corpus.def, decoded)) continue;
            ++exact;
            DraftOf(decoded, draft);
            std::vector<std::uint8_t> out;
            std::string error;
            ASSERT_TRUE(EncodeMessage(draft, *corpus.def, {}, out, error, scratch))
                << corpus.name << ": " << error;
            EXPECT_EQ(out, Bytes(message)) << corpus.name << ", message " << exact;
        }
        EXPECT_GE(exact, 2) << corpus.name;
    }
}

// A few fields under the encodings given (MTI, bitmap, length, numeric, character, binary).
std::unique_ptr<ProtocolDef> SmallDialect(const std::array<E, 6>& encodings) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    using T = FieldType;
    const struct {
        int n;
        T type;
        std::int16_t size;
        bool variable;
    } fields[] = {{2, T::N, 19, true},     {3, T::N, 6, false},    {22, T::N, 3, false},
                  {35, T::Z, 37, true},    {41, T::ANS, 8, false}, {43, T::ANS, 4, false},
                  {48, T::ANS, 999, true}, {52, T::B, 8, false},   {62, T::B, 99, true}};
    for (const auto& f : fields)
        DefineField(def->fields[f.n], f.type, f.size, f.variable ? 1 : 0, false, "");
    SetEncodings(*def, encodings);
    return def;
}

struct LossyCase {
    const char* name;
    std::array<E, 6> encodings;
    std::function<void(ProtocolDef&)> adjust;
    std::string message;
    std::string encoded;           // what the encoder writes back
    const char* reason = nullptr;  // or why it refuses the decoded values
};

constexpr std::array<E, 6> kText = {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::ASCII, E::HEX};

// Where the decoder drops information, or takes what the encoder refuses to write.
TEST(EncodeRoundTrip, WhereTheDecoderDropsInformationTheUnitsComeBackCanonical) {
    const std::string ebcdicHead = H("F0F2F0F0 F0F0F0F0F0F0F0F0F0F0F8F0F0F0F0F0");  // field 41
    const LossyCase cases[] = {
        {"hex digits of a bitmap in lower case",
         kText,
         {},
         "0200"
         "0000000000a00000"
         "TERM0001"
         "CITY",
         "0200"
         "0000000000A00000"
         "TERM0001"
         "CITY"},
        {"hex digits of a length in lower case",
         {E::CHAR, E::HEX, E::HEX, E::CHAR, E::ASCII, E::HEX},
         {},
         "0200"
         "0000000000010000"
         "01a"
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
         "0200"
         "0000000000010000"
         "01A"
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {"hex digits of binary data in lower case",
         kText,
         {},
         "0200"
         "0000000000001000"
         "0123456789abcdef",
         "0200"
         "0000000000001000"
         "0123456789ABCDEF"},
        {"the pad nibble of an odd packed number, any digit",
         {E::CHAR, E::HEX, E::CHAR, E::PBCD, E::ASCII, E::HEX},
         {},
         "0200"
         "0000040000000000" +
             H("5123"),
         "0200"
         "0000040000000000" +
             H("0123")},
        {"packed track data padded on the left", kText,
         [](ProtocolDef& def) { def.settings[35].binEnc = E::PBCD; },
         "0200"
         "0000000020000000"
         "09" +
             H("04761D2512"),
         "0200"
         "0000000020000000"
         "09" +
             H("4761D2512F")},
        {"the pad nibble of a left-aligned packed length", kText,
         [](ProtocolDef& def) {
             def.settings[48].lenEnc = E::PBCD;
             def.settings[48].prefixLeftAligned = true;
             def.fields[48].sizeLen = 2;
         },
         "0200"
         "0000000000010000" +
             H("0085") + "ABCDEFGH",
         "0200"
         "0000000000010000" +
             H("0080") + "ABCDEFGH"},
        {"the bytes after the first of a binary length read by its first byte",
         {E::CHAR, E::HEX, E::BIGEND, E::CHAR, E::ASCII, E::HEX},
         [](ProtocolDef& def) { def.fields[48].sizeLen = 3; },
         "0200"
         "0000000000010000" +
             H("02FFFF") + "AB",
         "0200"
         "0000000000010000" +
             H("020000") + "AB"},
        {"an odd count of nibbles, read as the bytes holding them", kText,
         [](ProtocolDef& def) {
             def.settings[62].prefixNibbles = true;
             def.settings[62].binEnc = E::NONE;
         },
         "0200"
         "0000000000000004"
         "05" +
             H("ABCDEF"),
         "0200"
         "0000000000000004"
         "06" +
             H("ABCDEF")},
        {"a length of 65536 or more, read modulo 65536", kText,
         [](ProtocolDef& def) { def.fields[48].sizeLen = 5; },
         "0200"
         "0000000000010000"
         "65537"
         "A",
         "0200"
         "0000000000010000"
         "00001"
         "A"},
        {"EBCDIC bytes the table reads as the character of another byte",
         {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::EBCDIC, E::HEX},
         {},
         ebcdicHead + H("4F 15 07 14 0A C1 C2 C3"),
         ebcdicHead + H("5A 25 05 4C 79 C1 C2 C3")},
        {"EBCDIC bytes the table leaves unassigned, all read as DEL",
         {E::CHAR, E::HEX, E::CHAR, E::CHAR, E::EBCDIC, E::HEX},
         {},
         ebcdicHead + H("41 B0 FF C1 C2 C3 C4 C5"),
         ebcdicHead + H("04 04 04 C1 C2 C3 C4 C5")},
        {"a bit of bit text that is no digit ends the bitmap",
         {E::CHAR, E::CHAR, E::CHAR, E::CHAR, E::ASCII, E::HEX},
         {},
         "0200"
         "001X" +
             std::string(60, '0') + "123456",
         "0200"
         "0010" +
             std::string(60, '0') + "123456"},
        {"a hex pair of the bitmap that is no number ends it",
         kText,
         {},
         "0200"
         "20000000000000ZZ"
         "123456",
         "0200"
         "2000000000000000"
         "123456"},
        {"a numeric field holding a letter",
         kText,
         {},
         "0200"
         "2000000000000000"
         "1A3456",
         "",
         "field 3: 'A' is not a digit"},
        {"a length above the field's size",
         kText,
         {},
         "0200"
         "4000000000000000"
         "20"
         "12345678901234567890",
         "",
         "field 2: 20 digits, at most 19"},
        {"a packed MTI that is not four digits, read as none",
         {E::PBCD, E::HEX, E::CHAR, E::CHAR, E::ASCII, E::HEX},
         {},
         H("0A00") + "2000000000000000"
                     "123456",
         "",
         "mti: 0 characters, fixed at 4"},
    };
    MessageDraft draft;
    EncodeScratch scratch;
    for (const LossyCase& c : cases) {
        auto def = SmallDialect(c.encodings);
        if (c.adjust) c.adjust(*def);
        DecodedMessage decoded;
        ASSERT_TRUE(DecodeExactly(Bytes(c.message), *def, decoded))
            << c.name << ": " << decoded.verdict;
        DraftOf(decoded, draft);
        std::vector<std::uint8_t> out;
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
        DecodedMessage again;
        ASSERT_TRUE(DecodeExactly(out, *def, again)) << c.name;
        EXPECT_EQ(again, decoded) << c.name;
    }
}

}  // namespace
