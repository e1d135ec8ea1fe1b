// How the definition file's lines are cut into items and their numbers read, shared by the
// readers of the classic lines and of the newer ones.
#pragma once

#include <climits>

namespace pro_tokens {

inline bool IsSpace(char c) noexcept {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// strtok's rules without its hidden state: separators in a row count as one, so an empty
// token is never returned.
inline char* NextToken(char*& cursor, char separator) noexcept {
    char* p = cursor;
    while (*p == separator)
        ++p;
    if (*p == '\0') {
        cursor = p;
        return nullptr;
    }
    char* token = p;
    while (*p != '\0' && *p != separator)
        ++p;
    if (*p != '\0') *p++ = '\0';
    cursor = p;
    return token;
}

// atoi's reading (white space, sign, digits up to the first other character, none giving 0),
// saturating at the int range instead of atoi's undefined overflow.
inline int ReadInt(const char* p) noexcept {
    while (IsSpace(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= INT_MAX) value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// A whole token of decimal digits only, as a number up to limit; -1 otherwise.
inline int ReadCount(const char* p, int limit) noexcept {
    if (*p == '\0') return -1;
    long value = 0;
    for (; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return -1;
        value = value * 10 + (*p - '0');
        if (value > limit) return -1;
    }
    return static_cast<int>(value);
}

}  // namespace pro_tokens
