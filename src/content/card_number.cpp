#include "content/card_number.h"

bool LuhnValid(const char* digits, int count) noexcept {
    if (digits == nullptr || count < 2) return false;
    int sum = 0;
    bool twice = false;
    for (int i = count - 1; i >= 0; --i) {
        const int c = digits[i];
        if (c < '0' || c > '9') return false;
        int d = c - '0';
        if (twice) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
        twice = !twice;
    }
    return sum % 10 == 0;
}

void MaskedDigits(int count, int& from, int& to) noexcept {
    to = count > 4 ? count - 4 : 0;
    from = count > 12 ? 6 : 0;
}
