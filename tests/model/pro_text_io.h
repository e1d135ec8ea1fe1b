// Definitions read from and written to text in a test, through the file reader and writer.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "model/pro_file.h"

// Reads content as a .pro file into def, with the reader's findings when asked.
inline void LoadProText(const std::string& content, ProtocolDef& def,
                        ProFindings* findings = nullptr) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    std::fwrite(content.data(), 1, content.size(), stream);
    std::rewind(stream);
    ReadProtocolStream(stream, def, findings);
    std::fclose(stream);
}

// What the writer writes for def.
inline std::string WrittenProText(const ProtocolDef& def) {
    std::FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    if (stream == nullptr) return {};
    EXPECT_TRUE(WriteProtocolLines(stream, def));
    std::string text(static_cast<std::size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), stream), text.size());
    std::fclose(stream);
    return text;
}
