#include "input/dump_hexdump.h"

#include <cctype>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}
int HexValue(char c) {
    return c <= '9' ? c - '0' : (std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The character column as the dump tools write it: printable ASCII as itself, else '.'.
bool ShowsBytes(std::string_view column, const std::uint8_t* data, int count) {
    std::size_t first = 0;
    while (first < static_cast<std::size_t>(count) && data[first] == ' ')
        ++first;  // leading spaces are lost in Trim
    std::size_t last = static_cast<std::size_t>(count);
    while (last > first && data[last - 1] == ' ')
        --last;
    if (column.size() != last - first) return false;
    for (std::size_t i = first; i < last; ++i) {
        const std::uint8_t b = data[i];
        const char shown = b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
        if (column[i - first] != shown) return false;
    }
    return true;
}

}  // namespace

bool HexdumpAssembler::Parse(std::string_view line, Row& row) {
    row = Row{};
    row.line = line;
    std::size_t pos = 0;
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    if (Trim(line) == "*") {
        row.star = true;
        return true;
    }
    const std::size_t digits = pos;
    while (pos < line.size() && IsHexDigit(line[pos]) && pos - digits < 16) {
        row.offset = row.offset * 16 + HexValue(line[pos]);
        ++pos;
    }
    if (pos == digits) return false;
    if (pos < line.size() && line[pos] == ':') ++pos;
    if (pos < line.size() && !IsBlank(line[pos])) return false;
    row.start = pos;
    for (;;) {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos == line.size()) break;
        if (line[pos] == '|' || line[pos] == '>') {
            row.bar = row.count;
            break;
        }
        std::size_t end = pos;
        while (end < line.size() && !IsBlank(line[end]))
            ++end;
        const std::size_t size = end - pos;
        if (size % 2 != 0 || size > 8 || row.count + static_cast<int>(size / 2) > kMaxRow) break;
        bool hex = true;
        for (std::size_t i = pos; i < end && hex; ++i)
            hex = IsHexDigit(line[i]);
        if (!hex) break;
        for (std::size_t i = pos; i < end; i += 2) {
            row.after[row.count] = i + 2 == end ? end : 0;
            row.data[row.count++] =
                static_cast<std::uint8_t>(HexValue(line[i]) * 16 + HexValue(line[i + 1]));
        }
        pos = end;
    }
    row.offsetOnly = row.count == 0 && row.bar < 0 && Trim(line.substr(row.start)).empty();
    return true;
}

bool HexdumpAssembler::Opens(std::string_view line) {
    Row row;
    if (!Parse(line, row) || row.star || row.offset != 0 || row.count == 0) return false;
    const std::string_view head = Trim(line.substr(0, row.start));
    return head.back() == ':' || head.size() >= 4;
}

void HexdumpAssembler::Start() {
    hasPending = repeating = ended = false;
    width = 16;
    base = bytes.size();
}

int HexdumpAssembler::GuessCount(const Row& row) const {
    if (row.bar >= 0) return row.bar;
    for (int k = 0; k < row.count; ++k) {
        const std::size_t at = k == 0 ? row.start : row.after[k - 1];
        if ((k == 0 || at != 0) && ShowsBytes(Trim(row.line.substr(at)), row.data, k)) return k;
    }
    return row.count < width ? row.count : width;
}

bool HexdumpAssembler::Append(const Row& row, int count) {
    if (count < 0 || count > row.count) return false;
    bytes.insert(bytes.end(), row.data, row.data + count);
    lastRow.assign(row.data, row.data + count);
    return true;
}

bool HexdumpAssembler::ResolvePending(int count) {
    if (!hasPending) return true;
    hasPending = false;
    return Append(pending, count);
}

bool HexdumpAssembler::RepeatUpTo(std::uint64_t offset) {
    repeating = false;
    const std::uint64_t at = bytes.size() - base;
    if (offset < at || lastRow.empty() || (offset - at) % lastRow.size() != 0) return false;
    for (std::uint64_t n = (offset - at) / lastRow.size(); n > 0; --n) {
        if (bytes.size() - base > (1u << 16)) return false;
        bytes.insert(bytes.end(), lastRow.begin(), lastRow.end());
    }
    return true;
}

HexdumpAssembler::Step HexdumpAssembler::Feed(std::string_view line) {
    if (!Parse(line, next)) return Step::kBad;
    const bool begun = hasPending || ended || bytes.size() > base;
    if (next.star) {
        if (!hasPending || ended) return Step::kBad;
        if (!ResolvePending(GuessCount(pending))) return Step::kBad;
        repeating = true;
        return Step::kTaken;
    }
    if (next.offset == 0 && begun && !next.offsetOnly) return Step::kNewStart;
    if (ended) return Step::kBad;
    if (hasPending) {
        if (next.offset <= pending.offset) return Step::kBad;
        const std::uint64_t count = next.offset - pending.offset;
        if (count > static_cast<std::uint64_t>(pending.count)) return Step::kBad;
        width = static_cast<int>(count);
        if (!ResolvePending(width)) return Step::kBad;
    } else if (repeating && !RepeatUpTo(next.offset)) {
        return Step::kBad;
    }
    if (next.offset != bytes.size() - base) return Step::kBad;
    if (next.offsetOnly) {
        ended = true;
    } else {
        pending = next;
        pendingLine.assign(line);
        pending.line = pendingLine;
        hasPending = true;
    }
    return Step::kTaken;
}

bool HexdumpAssembler::Finish() {
    if (repeating) return false;  // a '*' needs the offset that ends the repetition
    return ResolvePending(hasPending ? GuessCount(pending) : 0);
}
