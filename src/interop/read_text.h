// The whole of a file of another tool's definition, read once and bounded.
#pragma once

#include <string>

inline constexpr long kForeignFileMax = 16L << 20;

// False with error "path: cannot open: reason", "path: cannot read: reason" or "path: too large
// for a definition" when the file cannot be had whole.
bool ReadForeignFile(const std::string& path, std::string& text, std::string& error);
