#include "encode/encoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "../content/hex_bytes.h"
#include "model/pro_file.h"

// Counts the allocations of this test binary while asked to, so that a test can tell whether
// encoding allocates, and fails them while asked to, as when memory runs out.
namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
std::atomic<bool> refusing{false};
}  // namespace

// The replacements below pair malloc with free, which the compiler cannot see through the
// operator names it knows.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (refusing) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// Every form that pairs with the ones above is replaced too: the library's own nothrow new
// (the temporary buffer of stable_sort) freed through the delete here would be a mismatch.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (counting) ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

using E = Encoding;

// demo.pro with a field above 64 and four long binary fields.
std::unique_ptr<ProtocolDef> Demo() {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    std::string error;
    EXPECT_TRUE(LoadProtocolFile(ISO_EXAMPLES_DIR "/demo.pro", *def, error)) << error;
    DefineField(def->fields[70], FieldType::N, 3, 0, false, "");
    for (int n = 60; n <= 63; ++n)
        DefineField(def->fields[n], FieldType::B, 9999, 2, false, "");
    return def;
}

struct Given {
    int n;
    std::string value;
    ValueForm form = ValueForm::kShown;
};

using Adjust = std::function<void(ProtocolDef&, MessageDraft&, EncodeOptions&)>;

struct MessageCase {
    const char* name;
    std::vector<Given> fields;
    const char* units;            // the message as hex, or
    const char* error = nullptr;  // why it is refused
    Adjust adjust = {};
};

// clang-format off
const MessageCase kCases[] = {
    {"fields in order behind the MTI and bitmap",
     {{41, "TERM0001"}, {3, "000000"}, {2, "4111111111111111"}},
     "30323030 6000000000800000 10 4111111111111111 000000 5445524D30303031"},
    {"a field above 64 brings the secondary bitmap", {{70, "301"}},
     "30323030 8000000000000000 0400000000000000 0301"},
    {"the secondary bitmap when the input announced it", {{3, "000000"}},
     "30323030 A000000000000000 0000000000000000 000000", nullptr,
     [](ProtocolDef&, MessageDraft& draft, EncodeOptions&) { draft.AnnounceSecondaryBitmap(true); }},
    {"a fixed 128-bit bitmap: both halves always, bit 1 clear", {{3, "000000"}, {70, "301"}},
     "30323030 2000000000000000 0400000000000000 000000 0301", nullptr,
     [](ProtocolDef& def, MessageDraft&, EncodeOptions&) { def.options.fixedBitmap = true; }},
    {"binary values shown as hex in either case", {{55, "9f02060000000010"}},
     "30323030 0000000000000200 08 9F02060000000010"},
    {"a value as the decoder's units", {{55, "AB", ValueForm::kUnits}},
     "30323030 0000000000000200 02 4142"},
    {"a number held in binary, shown as its digits", {{4, "000000001000"}},
     "30323030 1000000000000000 00000003E8", nullptr,
     [](ProtocolDef& def, MessageDraft&, EncodeOptions&) { def.numEnc = E::BIGEND; }},
    {"a fixed number padded when asked", {{3, "42"}}, "30323030 2000000000000000 000042", nullptr,
     [](ProtocolDef&, MessageDraft&, EncodeOptions& options) { options.padNumbers = true; }},
    {"an EBCDIC MTI", {{3, "000000"}}, "F0F2F0F0 2000000000000000 000000", nullptr,
     [](ProtocolDef& def, MessageDraft&, EncodeOptions&) { def.chrEnc = E::EBCDIC; }},
    {"a packed MTI", {{3, "000000"}}, "0200 2000000000000000 000000", nullptr,
     [](ProtocolDef& def, MessageDraft&, EncodeOptions&) { def.mtiEnc = E::PBCD; }},
    {"the header the definition declares", {{3, "000000"}},
     "AABB 30323030 2000000000000000 000000", nullptr,
     [](ProtocolDef& def, MessageDraft& draft, EncodeOptions&) {
         def.options.header = 2;
         draft.SetHeader(HexBytes("AABB"));
     }},
    {"a '*' in text that holds no secret", {{41, "TERM*001"}},
     "30323030 0000000000800000 5445524D2A303031"},

    {"a field the definition leaves undefined", {{7, "0101123000"}}, nullptr,
     "field 7 is not defined"},
    {"a number too long", {{4, "1234567890123"}}, nullptr, "field 4: 13 digits, at most 12"},
    {"a letter in a number", {{2, "41A1"}}, nullptr, "field 2: 'A' is not a digit"},
    {"text short of its size", {{41, "TERM001"}}, nullptr, "field 41: 7 characters, fixed at 8"},
    {"text longer than its fixed size", {{41, "TERM00123"}}, nullptr,
     "field 41: 9 characters, at most 8"},
    {"a masked card number", {{2, "411111******1111"}}, nullptr,
     "field 2: the value is masked (411111******1111)"},
    {"a masked number", {{4, "00000000****"}}, nullptr,
     "field 4: the value is masked (00000000****)"},
    {"masked binary data", {{55, "9F02**"}}, nullptr, "field 55: the value is masked (9F02**)"},
    {"an odd count of hex digits", {{55, "9F0"}}, nullptr, "field 55: 3 hex digits, an odd count"},
    {"a unit that is no hex digit", {{55, "9F0G"}}, nullptr, "field 55: 'G' is not a hex digit"},
    {"a header of another size than declared", {{3, "000000"}}, nullptr,
     "header: 3 units, the definition declares 5",
     [](ProtocolDef& def, MessageDraft& draft, EncodeOptions&) {
         def.options.header = 5;
         draft.SetHeader(HexBytes("010203"));
     }},
    {"an MTI of three characters", {{3, "000000"}}, nullptr, "mti: 3 characters, fixed at 4",
     [](ProtocolDef&, MessageDraft& draft, EncodeOptions&) { draft.SetMti("020"); }},
    {"a letter in a packed MTI", {{3, "000000"}}, nullptr, "mti: 'A' is not a digit",
     [](ProtocolDef& def, MessageDraft& draft, EncodeOptions&) {
         def.mtiEnc = E::PBCD;
         draft.SetMti("02A0");
     }},
    {"a message longer than a decoder reads",
     {{60, std::string(18000, 'A')}, {61, std::string(18000, 'A')},
      {62, std::string(18000, 'A')}, {63, std::string(18000, 'A')}},
     nullptr, "message: 36020 units, at most 32767"},
};
// clang-format on

TEST(EncodeMessage, WritesTheMessageOrNamesWhatIsWrong) {
    MessageDraft draft;
    EncodeScratch scratch;
    for (const MessageCase& c : kCases) {
        auto def = Demo();
        draft.Clear();
        draft.SetMti("0200");
        EncodeOptions options;
        if (c.adjust) c.adjust(*def, draft, options);
        for (const Given& given : c.fields)
            draft.SetField(given.n, given.value, given.form);
        std::vector<std::uint8_t> out = {0x99};
        std::string error;
        const bool encoded = EncodeMessage(draft, *def, options, out, error, scratch);
        if (c.error != nullptr) {
            EXPECT_FALSE(encoded) << c.name;
            EXPECT_EQ(error, c.error) << c.name;
            EXPECT_EQ(out, std::vector<std::uint8_t>{0x99}) << c.name << ": out changed";
            continue;
        }
        ASSERT_TRUE(encoded) << c.name << ": " << error;
        EXPECT_EQ(out, HexBytes(std::string("99") + c.units)) << c.name;
    }
}

TEST(EncodeMessage, AllocatesNothingOnceWarmedUp) {
    auto def = Demo();
    const DecodePlan plan(*def);
    MessageDraft draft;
    EncodeScratch scratch;
    scratch.plan = &plan;
    std::vector<std::uint8_t> out;
    std::string error;
    const auto encode = [&](const char* pan, const char* chip) {
        draft.Clear();
        draft.SetMti("0200");
        draft.SetField(2, pan, ValueForm::kShown);
        draft.SetField(3, "000000", ValueForm::kShown);
        draft.SetField(41, "TERM0001", ValueForm::kUnits);
        draft.SetField(55, chip, ValueForm::kShown);
        out.clear();
        return EncodeMessage(draft, *def, {}, out, error, scratch);
    };
    ASSERT_TRUE(encode("4111111111111111", "9F02060000000010009505")) << error;
    allocations = 0;
    counting = true;
    const bool encoded = encode("5555555555554444", "9F02060000000020009506");
    counting = false;
    ASSERT_TRUE(encoded) << error;
    EXPECT_EQ(allocations, 0);
}

// A cold scratch must grow: with no memory to grow into, the message is refused with the
// reason, and the caller's output is left as it was.
TEST(EncodeMessage, MemoryRunningOutIsAReasonNotAnException) {
    auto def = Demo();
    MessageDraft draft;
    draft.SetMti("0200");
    draft.SetField(2, "4111111111111111", ValueForm::kShown);
    draft.SetField(3, "000000", ValueForm::kShown);
    draft.SetField(41, "TERM0001", ValueForm::kUnits);
    EncodeScratch scratch;
    std::vector<std::uint8_t> out = {0xAB};
    std::string error;
    error.reserve(32);
    refusing = true;
    const bool encoded = EncodeMessage(draft, *def, {}, out, error, scratch);
    refusing = false;
    EXPECT_FALSE(encoded);
    EXPECT_EQ(error, "out of memory");
    EXPECT_EQ(out, std::vector<std::uint8_t>{0xAB});
}

struct DigitsCase {
    const char* name;
    E numEnc;
    const char* value;   // hex
    const char* digits;  // nullptr: no digits say the value
};

TEST(NumberDigits, GivesTheDigitsOfNumbersHeldInBinary) {
    const DigitsCase cases[] = {
        {"a number's bytes then zeros", E::BIGEND, "00000003E8 00000000000000", "000000001000"},
        {"the largest of its digits", E::BIGEND, "E8D4A50FFF 00000000000000", "999999999999"},
        {"more digits than the value's length", E::BIGEND, "FFFFFFFFFF 00000000000000", nullptr},
        {"hex digits hold 5 bytes too", E::HEX, "0000000001 00000000000000", "000000000001"},
        {"a byte after the number's", E::BIGEND, "00000003E8 00000000000001", nullptr},
        {"digits as characters are the text", E::CHAR, "303030303030303031303030", "000000001000"},
    };
    for (const DigitsCase& c : cases) {
        auto def = Demo();
        def->numEnc = c.numEnc;
        EXPECT_EQ(NumberHeldInBinary(*def, 4), c.numEnc != E::CHAR) << c.name;
        std::string digits;
        ASSERT_EQ(NumberDigits(*def, 4, HexBytes(c.value), digits), c.digits != nullptr) << c.name;
        if (c.digits != nullptr) {
            EXPECT_EQ(digits, c.digits) << c.name;
        }
    }
}

}  // namespace
