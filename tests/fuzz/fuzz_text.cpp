// The text helpers and AutoBuff on arbitrary bytes: the input is both a text for the helpers
// and a program of buffer operations.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "model/protocol.h"
#include "support/auto_buff.h"
#include "support/text.h"

namespace {

using Byte = unsigned char;

// A text in storage of exactly its size with its NUL, so that any read past the NUL is caught.
struct HeapText {
    explicit HeapText(const std::string& text) : size(text.size()), bytes(new char[size + 1]) {
        std::memcpy(bytes.get(), text.c_str(), size + 1);
    }
    char* get() { return bytes.get(); }
    std::size_t size;
    std::unique_ptr<char[]> bytes;
};

bool ControlOrSpace(Byte c) {
    return (c >= 0x01 && c <= 0x20) || c == 0x7F;
}
bool Blank1252(Byte c) {
    return ControlOrSpace(c) || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D ||
           c == 0xA0 || c == 0xAD;
}
bool Unprintable(Byte c) {
    if ((c >= 0x01 && c <= 0x20) || (c >= 0x7F && c <= 0x89)) return true;
    switch (c) {
        case 0x8B:
        case 0x8D:
        case 0x9B:
        case 0x9D:
        case 0xA0:
            return true;
        default:
            break;
    }
    return (c >= 0x8F && c <= 0x99) || (c >= 0xA2 && c <= 0xA5) || (c >= 0xA7 && c <= 0xAA) ||
           (c >= 0xAC && c <= 0xBA) || (c >= 0xBC && c <= 0xBE);
}
bool BlankCodePoint(std::uint32_t cp) {
    return (cp >= 0x01 && cp <= 0x20) || (cp >= 0x7F && cp <= 0xA0) || cp == 0xAD;
}

// No blank at either end, never two in a row.
void CheckBlankShape(const char* text, std::size_t n) {
    if (n == 0) return;
    FUZZ_CHECK(text[0] != ' ' && text[n - 1] != ' ');
    FUZZ_CHECK(std::strstr(text, "  ") == nullptr);
}

template <typename Normaliser, typename IsBlank>
void CheckByteNormaliser(const std::string& input, Normaliser normalise, IsBlank isBlank) {
    HeapText text(input);
    const int n = normalise(text.get());
    FUZZ_CHECK(n >= 0 && static_cast<std::size_t>(n) <= std::strlen(input.c_str()));
    FUZZ_CHECK(std::strlen(text.get()) == static_cast<std::size_t>(n));
    CheckBlankShape(text.get(), n);
    for (int i = 0; i < n; ++i)
        FUZZ_CHECK(text.get()[i] == ' ' || !isBlank(static_cast<Byte>(text.get()[i])));
    const std::string once(text.get());
    FUZZ_CHECK(normalise(text.get()) == n && once == text.get());
}

void CheckUtf8Normaliser(const std::string& input) {
    HeapText text(input);
    const int n = CollapseBlanksUtf8(text.get());
    FUZZ_CHECK(n >= 0 && static_cast<std::size_t>(n) <= std::strlen(input.c_str()));
    FUZZ_CHECK(std::strlen(text.get()) == static_cast<std::size_t>(n));
    CheckBlankShape(text.get(), n);
    // What is left is well-formed and holds no blank code point but the single space.
    for (int i = 0; i < n;) {
        std::uint32_t cp = 0;
        const int len = DecodeUtf8(text.get() + i, &cp);
        FUZZ_CHECK(len >= 1 && i + len <= n);
        FUZZ_CHECK(cp == ' ' || !BlankCodePoint(cp));
        i += len;
    }
    const std::string once(text.get());
    FUZZ_CHECK(CollapseBlanksUtf8(text.get()) == n && once == text.get());
}

void CheckDecodeUtf8(const std::string& input) {
    HeapText text(input);
    const std::size_t n = std::strlen(text.get());
    for (std::size_t i = 0; i <= n; ++i) {
        std::uint32_t cp = 0xFFFFFFFF;
        const int len = DecodeUtf8(text.get() + i, &cp);
        FUZZ_CHECK(len >= -4 && len <= 4 && len != -1);
        FUZZ_CHECK(len != 0 || (i == n && cp == 0));
        if (len > 0) {
            FUZZ_CHECK(i + static_cast<std::size_t>(len) <= n);
            FUZZ_CHECK(cp <= 0x1FFFFF);
        }
        FUZZ_CHECK(HexPairValue(text.get() + i) >= -1 && HexPairValue(text.get() + i) <= 255);
    }
}

void CheckTrim(const std::string& input) {
    HeapText text(input);
    const std::size_t before = std::strlen(text.get());
    const char* trimmed = TrimSpaces(text.get());
    FUZZ_CHECK(trimmed == text.get());
    const std::size_t n = std::strlen(trimmed);
    FUZZ_CHECK(n <= before);
    FUZZ_CHECK(n == 0 || (trimmed[0] != ' ' && trimmed[n - 1] != ' '));
}

// A cut keeps a prefix, terminated inside the room, and never splits a well-formed sequence.
void CheckCut(const std::string& input, std::size_t size) {
    const std::string source(input.c_str());
    std::unique_ptr<char[]> out(new char[size > 0 ? size : 1]);
    CopyTextCut(out.get(), size, source.c_str());
    if (size == 0) return;
    const std::size_t n = strnlen(out.get(), size);
    FUZZ_CHECK(n < size && n <= source.size());
    FUZZ_CHECK(source.compare(0, n, out.get()) == 0);
    if (source.size() < size) FUZZ_CHECK(n == source.size());
    if (source.size() >= size) FUZZ_CHECK(n + 3 >= size - 1);  // drops at most a cut sequence
    HeapText whole(source);
    if (CollapseBlanksUtf8(whole.get()) != static_cast<int>(source.size())) return;
    for (std::size_t i = 0; i < n;) {  // the source was valid and held no blank code point
        const int len = DecodeUtf8(out.get() + i, nullptr);
        FUZZ_CHECK(len >= 1);
        i += static_cast<std::size_t>(len);
    }
}

// Encoding into any room, then decoding the digits back, in place.
void CheckHexRoundTrip(const std::uint8_t* bytes, int n, int room) {
    std::unique_ptr<char[]> out(new char[room > 0 ? room : 1]);
    const int r = EncodeHex(n, room, out.get(), bytes);
    if (n < 1 || room < 2 * n) {
        FUZZ_CHECK(r == 0);
        return;
    }
    FUZZ_CHECK(r == 2 * n);
    FUZZ_CHECK(room == 2 * n || out[2 * n] == '\0');
    auto* decoded = reinterpret_cast<std::uint8_t*>(out.get());
    FUZZ_CHECK(DecodeHex(r, decoded, out.get(), room) == n);
    FUZZ_CHECK(std::memcmp(decoded, bytes, static_cast<std::size_t>(n)) == 0);
    FUZZ_CHECK(room == n || decoded[n] == 0);
}

void CheckDecodeHexInPlace(const std::string& input, int room) {
    const int m = static_cast<int>(input.size());
    if (room < 1) room = 1;
    std::unique_ptr<char[]> text(new char[room > m ? room : m]);
    std::memcpy(text.get(), input.data(), input.size());
    auto* out = reinterpret_cast<std::uint8_t*>(text.get());
    const int r = DecodeHex(m, out, text.get(), room);
    FUZZ_CHECK(r == 0 || r == m / 2);
    if (m < 2 || m % 2 != 0 || room < m / 2) FUZZ_CHECK(r == 0);
    if (r == 0) return;
    for (int i = 0; i < r; ++i)
        FUZZ_CHECK(HexPairValue(input.c_str() + 2 * i) == out[i]);
}

class Program {
  public:
    Program(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    bool Done() const { return pos >= size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    int Int16() {
        const int high = Byte();
        return high << 8 | Byte();
    }
    std::string Bytes(std::size_t n) {
        n = n < size - pos ? n : size - pos;
        std::string s(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        return s;
    }

  private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

void CheckShape(const AutoBuff& b) {
    FUZZ_CHECK(b.Length() >= 0 && b.Length() <= b.Capacity());
    FUZZ_CHECK(b.Capacity() <= AutoBuff::kMaxCapacity);
    FUZZ_CHECK((b.Data() == nullptr) == (b.Capacity() == 0));
    FUZZ_CHECK(b.Text() != nullptr);
}

void CheckTerminated(const AutoBuff& b) {
    CheckShape(b);
    FUZZ_CHECK(b.Length() < b.Capacity() && b.Data()[b.Length()] == 0);
}

void Fill(AutoBuff& b, const std::string& bytes) {
    const int n = static_cast<int>(bytes.size());
    if (b.Capacity() < n + 1 && !b.Reserve(n + 1, true)) return;
    std::memcpy(b.Data(), bytes.data(), bytes.size());
    FUZZ_CHECK(b.SetLength(n));
    FUZZ_CHECK(b.Terminate());
}

void Step(Program& p, AutoBuff& b) {
    const int before = b.Length();
    const int capacity = b.Capacity();
    switch (p.Byte() % 11) {
        case 0: {  // sizes up to 131071, past the bound
            const int size = (p.Byte() & 1) << 16 | p.Int16();
            const bool ok = b.Reserve(size, p.Byte() & 1);
            FUZZ_CHECK(ok == (size <= AutoBuff::kMaxCapacity));
            if (ok) FUZZ_CHECK(b.Capacity() == (size < 1 ? 0 : size));
            if (!ok) FUZZ_CHECK(b.Capacity() == capacity && b.Length() == before);
            break;
        }
        case 1: {
            const int n = static_cast<std::int16_t>(p.Int16());
            const bool ok = b.SetLength(n);
            FUZZ_CHECK(ok == (capacity > 0 && n >= 0 && n <= capacity));
            break;
        }
        case 2:
            if (b.Terminate()) CheckTerminated(b);
            break;
        case 3:
            b.Clear();
            FUZZ_CHECK(b.Length() == 0 && b.Capacity() == capacity);
            break;
        case 4: {
            const std::string piece = p.Bytes(p.Byte());
            if (b.Format("%s", piece.c_str())) {
                CheckTerminated(b);
                FUZZ_CHECK(piece.c_str() == std::string(b.Text()));
                FUZZ_CHECK(b.Capacity() == b.Length() + 1);
            } else {
                FUZZ_CHECK(piece.c_str()[0] == '\0');
                FUZZ_CHECK(b.Length() == before && b.Capacity() == capacity);
            }
            break;
        }
        case 5: {  // short texts, and now and then texts at the bound and past it
            static constexpr int kLong[] = {65533, 65534, 65535, 131071};
            const std::uint8_t pick = p.Byte();
            const int width = pick >= 0xFC ? kLong[pick & 3] : p.Int16() % 2048;
            if (b.Format("%*s", width, "x")) {
                CheckTerminated(b);
            } else {
                FUZZ_CHECK(b.Length() == before && b.Capacity() == capacity);
            }
            break;
        }
        case 6: {
            AutoBuff source;
            Fill(source, p.Bytes(p.Byte()));
            const int r = b.SetHexOf(source);
            FUZZ_CHECK(r == 2 * source.Length() && b.Length() == r);
            CheckTerminated(b);
            break;
        }
        case 7: {
            const int r = b.DecodeHexInPlace();
            FUZZ_CHECK(r == b.Length() && r <= before / 2);
            if (b.Capacity() > 0) CheckTerminated(b);
            break;
        }
        case 8:
            b.NormaliseBlanks(p.Byte() & 1);
            FUZZ_CHECK(b.Length() <= before);
            if (b.Capacity() > 0) {
                CheckTerminated(b);
                FUZZ_CHECK(std::strlen(b.Text()) == static_cast<std::size_t>(b.Length()));
            }
            break;
        case 9: {
            FieldMask mask;
            for (auto& m : mask)
                m = p.Byte();
            FUZZ_CHECK(b.SetFromFieldMask(mask) && b.Length() == 32);
            CheckTerminated(b);
            break;
        }
        case 10: {
            static constexpr int kCodePages[] = {1252, 65001, 437};
            const int cp = kCodePages[p.Byte() % 3];
            // Where the narrow set is UTF-8 already nothing changes, not even the terminator.
            const bool ok = b.ConvertCodePageAs(cp, p.Byte() & 1);
            if (cp == 65001) {
                FUZZ_CHECK(ok == (before > 0) && b.Length() == before);
            } else if (ok) {
                CheckTerminated(b);
            }
            break;
        }
    }
    CheckShape(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    CheckByteNormaliser(input, CollapseBlanks, ControlOrSpace);
    CheckByteNormaliser(input, CollapseBlanks1252, Blank1252);
    CheckByteNormaliser(input, CollapseUnprintable, Unprintable);
    for (const char c : input)
        FUZZ_CHECK(IsUnprintableByte(static_cast<Byte>(c)) == (c != '\0' && Unprintable(c)));
    CheckUtf8Normaliser(input);
    CheckDecodeUtf8(input);
    CheckTrim(input);
    CheckCut(input, size > 0 ? data[0] % 64 : 0);
    CheckCut(input, static_cast<std::size_t>(kTextMax) + 1);

    const int room = size >= 2 ? (data[0] << 8 | data[1]) % 4096 : 0;
    CheckHexRoundTrip(data, static_cast<int>(size), room);
    CheckHexRoundTrip(data, static_cast<int>(size), 2 * static_cast<int>(size) + (room & 1));
    CheckDecodeHexInPlace(input, room);
    CheckDecodeHexInPlace(input, static_cast<int>(size));

    Program program(data, size);
    AutoBuff buff;
    Fill(buff, program.Bytes(program.Byte()));
    for (int steps = 0; steps < 64 && !program.Done(); ++steps)
        Step(program, buff);
    return 0;
}
