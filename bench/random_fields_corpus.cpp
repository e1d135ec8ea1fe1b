#include "random_fields_corpus.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fixed_random.h"
#include "typical_message.h"

namespace {

constexpr int kChipField = 55;

std::string Digits(Random& random, int count) {
    std::string digits;
    for (int i = 0; i < count; ++i)
        digits.push_back(static_cast<char>('0' + random.Next() % 10));
    return digits;
}

// 16 digits that pass the Luhn check, as card numbers do.
std::string CardNumber(Random& random) {
    std::string pan = "4" + Digits(random, 14);
    int sum = 0;
    for (int i = static_cast<int>(pan.size()) - 1, k = 0; i >= 0; --i, ++k) {
        int d = pan[static_cast<std::size_t>(i)] - '0';
        if (k % 2 == 0) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
    }
    pan.push_back(static_cast<char>('0' + (10 - sum % 10) % 10));
    return pan;
}

std::string Text(Random& random, int count) {
    static const char kText[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789";
    std::string text;
    for (int i = 0; i < count; ++i)
        text.push_back(kText[random.Next() % (sizeof kText - 1)]);
    return text;
}

std::string Bytes(Random& random, int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<char>(random.Next() & 0xFF));
    return bytes;
}

// Decimal digits two to a byte, an F nibble after an odd count.
std::string Packed(const std::string& symbols) {
    std::string bytes;
    for (std::size_t i = 0; i < symbols.size(); i += 2) {
        auto nibble = [](char c) { return c == 'D' ? 0xD : c == 'F' ? 0xF : c - '0'; };
        const int high = nibble(symbols[i]);
        const int low = i + 1 < symbols.size() ? nibble(symbols[i + 1]) : 0xF;
        bytes.push_back(static_cast<char>(high << 4 | low));
    }
    return bytes;
}

// Track 2 as packed nibbles: account, separator, expiry, service code, discretionary data.
std::string Track2(Random& random, const std::string& pan) {
    return Packed(pan + "D" + Digits(random, 4) + "201" + Digits(random, 10));
}

struct ChipTag {
    std::uint32_t tag;
    int length;
    enum { kBytes, kDigits, kText } kind;
};

// What terminals commonly send in an authorisation request.
constexpr ChipTag kChipTags[] = {
    {0x82, 2, ChipTag::kBytes},    {0x84, 7, ChipTag::kBytes},    {0x95, 5, ChipTag::kBytes},
    {0x9A, 3, ChipTag::kDigits},   {0x9C, 1, ChipTag::kDigits},   {0x5F2A, 2, ChipTag::kDigits},
    {0x5F34, 1, ChipTag::kDigits}, {0x9F02, 6, ChipTag::kDigits}, {0x9F03, 6, ChipTag::kDigits},
    {0x9F09, 2, ChipTag::kBytes},  {0x9F10, 18, ChipTag::kBytes}, {0x9F1A, 2, ChipTag::kDigits},
    {0x9F1E, 8, ChipTag::kText},   {0x9F26, 8, ChipTag::kBytes},  {0x9F27, 1, ChipTag::kBytes},
    {0x9F33, 3, ChipTag::kBytes},  {0x9F34, 3, ChipTag::kBytes},  {0x9F35, 1, ChipTag::kDigits},
    {0x9F36, 2, ChipTag::kBytes},  {0x9F37, 4, ChipTag::kBytes},  {0x9F41, 4, ChipTag::kDigits},
    {0x4F, 7, ChipTag::kBytes},    {0x50, 16, ChipTag::kText},    {0x9F12, 16, ChipTag::kText},
    {0x9F06, 7, ChipTag::kBytes},  {0x9F07, 2, ChipTag::kBytes},  {0x9F0D, 5, ChipTag::kBytes},
    {0x9F0E, 5, ChipTag::kBytes},  {0x9F0F, 5, ChipTag::kBytes},  {0x9F40, 5, ChipTag::kBytes},
    {0x9F66, 4, ChipTag::kBytes},  {0x9F6E, 32, ChipTag::kBytes},
};

void AppendTag(std::string& data, std::uint32_t tag) {
    bool started = false;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<std::uint8_t>(tag >> shift);
        if (byte != 0 || started || shift == 0) data.push_back(static_cast<char>(byte));
        started = started || byte != 0;
    }
}

void AppendObject(std::string& data, std::uint32_t tag, const std::string& value) {
    AppendTag(data, tag);
    data.push_back(static_cast<char>(value.size()));
    data += value;
}

// Data objects of about size bytes: the card number and track 2 equivalent data first, then
// the usual tags in turn, a private tag filling what is left.
std::string ChipData(Random& random, int size, const std::string& pan) {
    std::string data;
    AppendObject(data, 0x5A, Packed(pan));
    AppendObject(data, 0x57, Track2(random, pan));
    const int first = random.Between(0, static_cast<int>(std::size(kChipTags)) - 1);
    for (std::size_t k = 0; k < std::size(kChipTags); ++k) {
        const ChipTag& tag =
            kChipTags[(static_cast<std::size_t>(first) + k) % std::size(kChipTags)];
        const int tagBytes = tag.tag > 0xFF ? 2 : 1;
        if (static_cast<int>(data.size()) + tagBytes + 1 + tag.length > size) continue;
        std::string value;
        if (tag.kind == ChipTag::kDigits) {
            value = Packed(Digits(random, 2 * tag.length));
        } else if (tag.kind == ChipTag::kText) {
            value = Text(random, tag.length);
        } else {
            value = Bytes(random, tag.length);
        }
        AppendObject(data, tag.tag, value);
    }
    const int left = size - static_cast<int>(data.size()) - 3;
    if (left > 0) AppendObject(data, 0xDF7F, Bytes(random, left));
    return data;
}

// Writes the units of the text dialect: characters, hexadecimal bitmap and binary data.
class Writer {
  public:
    explicit Writer(const ProtocolDef& protocol) : def(protocol) {}

    // value: digits for N, characters for text, bytes for B and Z.
    static int Units(const FldDef& field, const std::string& value) {
        const bool binary = field.type == FieldType::B || field.type == FieldType::Z;
        return field.sizeLen + static_cast<int>(value.size()) * (binary ? 2 : 1);
    }

    std::string Message(const char* mti, const FieldMask& present,
                        const std::vector<std::string>& values) const {
        std::string out = mti;
        for (int i = 0; i < (TestBit(present, 1) ? 16 : 8); ++i)
            Hex(out, static_cast<char>(present[static_cast<std::size_t>(i)]));
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (!TestBit(present, n)) continue;
            const FldDef& field = def.fields[n];
            const std::string& value = values[static_cast<std::size_t>(n)];
            if (field.sizeLen > 0) {
                const std::string length = std::to_string(value.size());
                out.append(static_cast<std::size_t>(field.sizeLen) - length.size(), '0');
                out += length;
            }
            if (field.type == FieldType::B || field.type == FieldType::Z) {
                for (char c : value)
                    Hex(out, c);
            } else {
                out += value;
            }
        }
        return out;
    }

  private:
    static void Hex(std::string& out, char c) {
        static const char digits[] = "0123456789ABCDEF";
        const auto byte = static_cast<std::uint8_t>(c);
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 15]);
    }

    const ProtocolDef& def;
};

std::string ValueOf(const FldDef& field, Random& random) {
    const int length = field.sizeLen > 0 ? random.Between(1, field.size) : field.size;
    switch (field.type) {
        case FieldType::N:
            return Digits(random, length);
        case FieldType::B:
        case FieldType::Z:
            return Bytes(random, length);
        default:
            return Text(random, length);
    }
}

std::string RandomMessage(const ProtocolDef& def, Random& random) {
    const Writer writer(def);
    std::vector<std::string> values(kFieldCount);
    FieldMask present{};
    const std::string pan = CardNumber(random);
    values[2] = pan;
    values[35] = Track2(random, pan);
    values[kChipField] = ChipData(random, random.Between(100, 250), pan);
    int units = 4 + 32;
    for (int n : {2, 35, kChipField}) {
        SetBit(present, n);
        units += Writer::Units(def.fields[n], values[static_cast<std::size_t>(n)]);
    }
    std::vector<int> pool;
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (!TestBit(present, n) && n != 65) pool.push_back(n);
    }
    const int wanted = random.Between(700, 800);
    while (units < wanted - 4 && !pool.empty()) {
        const auto at =
            static_cast<std::size_t>(random.Between(0, static_cast<int>(pool.size()) - 1));
        const int n = pool[at];
        pool.erase(pool.begin() + static_cast<long>(at));
        std::string value = ValueOf(def.fields[n], random);
        const int taken = Writer::Units(def.fields[n], value);
        if (units + taken > wanted) continue;
        units += taken;
        SetBit(present, n);
        values[static_cast<std::size_t>(n)] = std::move(value);
    }
    // The secondary bitmap was counted from the start; it is there whether or not a field past
    // 64 was drawn.
    SetBit(present, 1);
    return writer.Message("0800", present, values);
}

}  // namespace

void DefineRandomFields(ProtocolDef& def) {
    DefineDialect(def, Dialect::kText);
    std::strcpy(def.name, "Random fields text dialect");
}

std::vector<std::string> RandomFieldsCorpus(const ProtocolDef& def, int count) {
    Random random{0xD1B54A32D192ED03ULL};
    std::vector<std::string> corpus;
    for (int i = 0; i < count; ++i)
        corpus.push_back(RandomMessage(def, random));
    return corpus;
}
