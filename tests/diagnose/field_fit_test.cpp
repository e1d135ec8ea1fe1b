#include "diagnose/field_fit.h"

#include <gtest/gtest.h>

namespace {

struct FitCase {
    FieldType type;
    const char* fits;
    const char* misfits;
};

TEST(FitsType, CharacterClassesOfEachType) {
    const FitCase cases[] = {
        {FieldType::N, "0129", " A-"},
        {FieldType::A, "AZaz ", "09-\x7F"},
        {FieldType::AN, "Az09 ", "-.\x1F"},
        // AS takes any printable character, as ANS does: digits too.
        {FieldType::AS, "Az09 -.~", "\x1F\x7F\x80"},
        {FieldType::ANS, " ~09Az-", "\x1F\x7F\x80"},
        {FieldType::B, "\x01\x7F\x80 ", ""},
        {FieldType::Z, "\x01\xFF", ""},
    };
    for (const FitCase& c : cases) {
        for (const char* p = c.fits; *p != '\0'; ++p)
            EXPECT_TRUE(FitsType(c.type, static_cast<std::uint8_t>(*p))) << NameOf(c.type) << *p;
        for (const char* p = c.misfits; *p != '\0'; ++p)
            EXPECT_FALSE(FitsType(c.type, static_cast<std::uint8_t>(*p))) << NameOf(c.type) << *p;
    }
}

}  // namespace
