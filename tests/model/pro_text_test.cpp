#include "model/pro_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "model/pro_file.h"

namespace {

std::string SavedText(const ProtocolDef& def) {
    char path[] = "/tmp/pro_text_testXXXXXX";
    const int fd = ::mkstemp(path);
    ::close(fd);
    std::string error;
    EXPECT_TRUE(SaveProtocolFile(path, def, error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    ::unlink(path);
    return out.str();
}

}  // namespace

TEST(FormatProtocolTextTest, GivesWhatASaveWritesAndFollowsEachEdit) {
    ProtocolDef def;
    std::string error;
    ASSERT_TRUE(LoadProtocolFile(ISO_EXAMPLES_DIR "/demo.pro", def, error)) << error;
    std::string text = "left over";
    ASSERT_TRUE(FormatProtocolText(def, text));
    EXPECT_EQ(text, SavedText(def));

    const std::string before = text;
    std::strcpy(def.name, "Renamed");
    ASSERT_TRUE(FormatProtocolText(def, text));
    EXPECT_NE(text, before);
    EXPECT_EQ(text, SavedText(def));
}
