#include <gtest/gtest.h>

#include "interop/interop.h"

namespace {

struct Recognised {
    const char* text;
    ForeignFormat format;
};

TEST(RecogniseFormat, TellsTheFormatFromTheContent) {
    const Recognised cases[] = {
        {"<?xml version=\"1.0\"?>\n<isopackager>", ForeignFormat::kJpos},
        {"\xEF\xBB\xBF  <isopackager>", ForeignFormat::kJpos},
        {"{\"name\": \"x\", \"fields\": {\"0\": {}}}", ForeignFormat::kMoov},
        {"{\"t\": {\"data_enc\": \"ascii\", \"len_type\": 0}}", ForeignFormat::kPyiso8583},
        {"{\"other\": 1}", ForeignFormat::kUnknown},
        {"MTI_Enc= CHAR", ForeignFormat::kUnknown},
        {"", ForeignFormat::kUnknown},
    };
    for (const Recognised& c : cases)
        EXPECT_EQ(RecogniseFormat(c.text), c.format) << c.text;
}

}  // namespace
