// Messages written as source-code byte literals or plain hexadecimal digits: 0x lists,
// escaped strings (C, Python b'...' alone or in bytearray(...)), Python's bytes.fromhex('...'),
// signed or unsigned decimal lists in braces or brackets.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

struct LiteralResult {
    bool ok = false;
    int line = 0;  // of the first unit that fits no notation, counted from 1, when not ok
};

// Appends the bytes that text (lines separated by '\n') stands for to bytes, stopping once
// there are more than limit of them.
LiteralResult ParseByteLiteral(std::string_view text, std::vector<std::uint8_t>& bytes,
                               std::size_t limit);
