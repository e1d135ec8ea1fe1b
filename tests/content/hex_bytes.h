// Test values written as hex digits, blanks allowed between them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> HexBytes(const std::string& digits) {
    std::vector<std::uint8_t> out;
    int high = -1;
    for (char c : digits) {
        if (c == ' ') continue;
        const int v = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return out;
}

inline std::vector<std::uint8_t> TextBytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}
