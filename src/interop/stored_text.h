// Names and descriptions from another tool's file, stored as a definition file reads them
// back: blanks collapsed, cut to 128 bytes without splitting a UTF-8 sequence, and in a
// description the semicolon, which would end its column, written as a comma.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

void StoreText(char* target, std::size_t size, std::string_view text, bool description);
std::string StoredDescription(std::string_view text);
