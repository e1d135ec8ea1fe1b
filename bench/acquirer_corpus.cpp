#include "acquirer_corpus.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "decode/codecs.h"
#include "fixed_random.h"

namespace {

struct Element {
    int number;
    FieldType type;
    int size;
    bool variable;
    int shortest;  // of a variable field's values
    int longest;
};

// A value length is drawn between shortest and longest; private fields are kept short, as
// real ones mostly are, for an average message of about 750 units in the text dialect.
constexpr Element kFields[] = {
    {2, FieldType::N, 19, true, 16, 19},      {3, FieldType::N, 6, false, 0, 0},
    {4, FieldType::N, 12, false, 0, 0},       {7, FieldType::N, 10, false, 0, 0},
    {11, FieldType::N, 6, false, 0, 0},       {12, FieldType::N, 6, false, 0, 0},
    {13, FieldType::N, 4, false, 0, 0},       {14, FieldType::N, 4, false, 0, 0},
    {18, FieldType::N, 4, false, 0, 0},       {19, FieldType::N, 3, false, 0, 0},
    {22, FieldType::N, 3, false, 0, 0},       {23, FieldType::N, 3, false, 0, 0},
    {25, FieldType::N, 2, false, 0, 0},       {26, FieldType::N, 2, false, 0, 0},
    {32, FieldType::N, 11, true, 6, 11},      {33, FieldType::N, 11, true, 6, 11},
    {35, FieldType::Z, 37, true, 30, 37},     {37, FieldType::AN, 12, false, 0, 0},
    {38, FieldType::AN, 6, false, 0, 0},      {39, FieldType::AN, 2, false, 0, 0},
    {41, FieldType::ANS, 8, false, 0, 0},     {42, FieldType::ANS, 15, false, 0, 0},
    {43, FieldType::ANS, 40, false, 0, 0},    {44, FieldType::ANS, 25, true, 2, 25},
    {45, FieldType::ANS, 76, true, 40, 76},   {48, FieldType::ANS, 999, true, 20, 90},
    {49, FieldType::N, 3, false, 0, 0},       {50, FieldType::N, 3, false, 0, 0},
    {52, FieldType::B, 8, false, 0, 0},       {53, FieldType::N, 16, false, 0, 0},
    {54, FieldType::AN, 120, true, 20, 40},   {55, FieldType::B, 255, true, 100, 250},
    {56, FieldType::N, 35, true, 10, 35},     {60, FieldType::ANS, 999, true, 5, 30},
    {61, FieldType::ANS, 999, true, 10, 26},  {62, FieldType::ANS, 999, true, 10, 60},
    {63, FieldType::ANS, 999, true, 20, 80},  {70, FieldType::N, 3, false, 0, 0},
    {90, FieldType::N, 42, false, 0, 0},      {95, FieldType::AN, 42, false, 0, 0},
    {100, FieldType::N, 11, true, 6, 11},     {102, FieldType::ANS, 28, true, 10, 28},
    {103, FieldType::ANS, 28, true, 10, 28},  {120, FieldType::ANS, 999, true, 20, 70},
    {123, FieldType::ANS, 999, true, 20, 70}, {124, FieldType::ANS, 999, true, 20, 70},
    {125, FieldType::ANS, 999, true, 10, 30}, {127, FieldType::ANS, 999, true, 20, 70},
    {128, FieldType::B, 8, false, 0, 0},
};

struct Kind {
    const char* mti;
    int weight;
    std::initializer_list<int> base;   // always present
    std::initializer_list<int> extra;  // drawn from until the message has its field count
};

const Kind kKinds[] = {
    {"0100",
     30,
     {2, 3, 4, 7, 11, 12, 13, 22, 25, 37, 41, 42, 49, 55},
     {14, 18, 19, 23, 26, 32, 33,  35,  43,  44,  45,  48,  52,  53,
      54, 56, 60, 61, 62, 63, 100, 102, 120, 123, 124, 125, 127, 128}},
    {"0110", 30, {2, 3, 4, 7, 11, 37, 39, 41, 49}, {12, 13, 14,  18,  19,  22,  23,  25,
                                                    32, 38, 44,  48,  54,  55,  60,  61,
                                                    62, 63, 102, 120, 123, 124, 127, 128}},
    {"0200", 15, {2, 3, 4, 7, 11, 12, 13, 22, 25, 37, 41, 42, 49, 55}, {14,  18,  19,  23, 26,  32,
                                                                        35,  43,  48,  52, 53,  54,
                                                                        60,  61,  62,  63, 100, 102,
                                                                        103, 120, 125, 127}},
    {"0210",
     15,
     {2, 3, 4, 7, 11, 37, 38, 39, 41, 49},
     {12, 13, 18, 22, 32, 44, 48, 54, 55, 60, 61, 62, 63, 102, 103, 123, 124}},
    {"0420", 6, {2, 3, 4, 7, 11, 37, 41, 49, 90}, {12, 13, 18, 22, 25, 32, 38, 39,  43,  48,
                                                   55, 56, 60, 61, 62, 63, 95, 120, 127, 128}},
    {"0800", 4, {7, 11, 70}, {12, 13, 33, 37, 39, 48, 53, 60, 61, 62, 63, 120, 123, 128}},
};

std::uint8_t AsciiToEbcdic(char c) {
    for (int e = 0x40; e < 0x100; ++e) {
        if (EbcdicToAsciiTable[e] == static_cast<std::uint8_t>(c))
            return static_cast<std::uint8_t>(e);
    }
    return 0x40;
}

// Writes units under the definition's encodings, as a sending host would.
class Writer {
  public:
    explicit Writer(const ProtocolDef& protocol) : def(protocol) {}

    void Mti(const char* mti) {
        if (def.mtiEnc == Encoding::PBCD) return Packed(mti, 4);
        Text(mti, 4);
    }

    void Bitmap(const FieldMask& bitmap) {
        const int bytes = TestBit(bitmap, 1) ? 16 : 8;
        for (int i = 0; i < bytes; ++i) {
            if (def.bmpEnc == Encoding::HEX) {
                Hex(bitmap[i]);
            } else {
                out.push_back(static_cast<char>(bitmap[i]));
            }
        }
    }

    // value: digits for N, characters for A to AS, bytes for B and Z.
    void Field(int n, const std::string& value) {
        const FldDef& field = def.fields[n];
        if (field.sizeLen > 0) Length(static_cast<int>(value.size()), field.sizeLen);
        switch (def.DataEncoding(n)) {
            case Encoding::PBCD:
                return Packed(value.data(), static_cast<int>(value.size()));
            case Encoding::HEX:
                for (char c : value)
                    Hex(static_cast<std::uint8_t>(c));
                return;
            case Encoding::NONE:
                out += value;
                return;
            default:
                Text(value.data(), static_cast<int>(value.size()));
        }
    }

    std::string Take() { return std::move(out); }

  private:
    void Text(const char* text, int count) {
        for (int i = 0; i < count; ++i) {
            out.push_back(def.chrEnc == Encoding::EBCDIC ? static_cast<char>(AsciiToEbcdic(text[i]))
                                                         : text[i]);
        }
    }

    void Hex(std::uint8_t byte) {
        static const char digits[] = "0123456789ABCDEF";
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 15]);
    }

    void Packed(const char* digits, int count) {
        std::string padded = count % 2 ? "0" : "";
        padded.append(digits, count);
        for (std::size_t i = 0; i < padded.size(); i += 2)
            out.push_back(static_cast<char>((padded[i] - '0') << 4 | (padded[i + 1] - '0')));
    }

    void Length(int d, int s) {
        if (def.lenEnc == Encoding::BIGEND) {
            if (s == 2) out.push_back(static_cast<char>(d >> 8));
            out.push_back(static_cast<char>(d & 0xFF));
            return;
        }
        const std::string digits = std::to_string(d);
        const std::string text = std::string(s - digits.size(), '0') + digits;
        Text(text.data(), s);
    }

    const ProtocolDef& def;
    std::string out;
};

const Element* Find(int n) {
    for (const Element& e : kFields) {
        if (e.number == n) return &e;
    }
    return nullptr;
}

std::string ValueOf(const Element& e, Random& random) {
    const int length = e.variable ? random.Between(e.shortest, e.longest) : e.size;
    static const char kText[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789";
    std::string value;
    for (int i = 0; i < length; ++i) {
        const std::uint32_t k = random.Next();
        if (e.type == FieldType::N) {
            value.push_back(static_cast<char>('0' + k % 10));
        } else if (e.type == FieldType::B || e.type == FieldType::Z) {
            value.push_back(static_cast<char>(k & 0xFF));
        } else {
            value.push_back(kText[k % (sizeof kText - 1)]);
        }
    }
    return value;
}

const Kind& Draw(Random& random) {
    int total = 0;
    for (const Kind& k : kKinds)
        total += k.weight;
    int pick = random.Between(0, total - 1);
    for (const Kind& k : kKinds) {
        if (pick < k.weight) return k;
        pick -= k.weight;
    }
    return kKinds[0];
}

FieldMask Fields(const Kind& kind, Random& random) {
    FieldMask present{};
    int count = 0;
    for (int n : kind.base)
        count += SetBit(present, n) ? 1 : 0;
    std::vector<int> pool(kind.extra);
    const int wanted = random.Between(10, 40);
    while (count < wanted && !pool.empty()) {
        const auto at =
            static_cast<std::size_t>(random.Between(0, static_cast<int>(pool.size()) - 1));
        SetBit(present, pool[at]);
        pool.erase(pool.begin() + static_cast<long>(at));
        ++count;
    }
    for (int n = 65; n <= kLastField; ++n) {
        if (TestBit(present, n)) SetBit(present, 1);
    }
    return present;
}

}  // namespace

void DefineAcquirer(ProtocolDef& def, CorpusDialect dialect) {
    const bool text = dialect == CorpusDialect::kText;
    def.mtiEnc = text ? Encoding::CHAR : Encoding::PBCD;
    def.bmpEnc = text ? Encoding::HEX : Encoding::NONE;
    def.lenEnc = text ? Encoding::CHAR : Encoding::BIGEND;
    def.numEnc = text ? Encoding::CHAR : Encoding::PBCD;
    def.chrEnc = text ? Encoding::ASCII : Encoding::EBCDIC;
    def.binEnc = text ? Encoding::HEX : Encoding::NONE;
    std::strcpy(def.name, text ? "Acquirer text dialect" : "Acquirer EBCDIC dialect");
    for (const Element& e : kFields) {
        const auto size = static_cast<std::int16_t>(e.size);
        const auto prefix = e.variable ? def.LengthPrefixSize(size, e.number) : 0;
        DefineField(def.fields[e.number], e.type, size, static_cast<std::int16_t>(prefix), false,
                    "Acquirer field");
    }
    for (const Kind& kind : kKinds) {
        auto msg = std::make_unique<MsgDef>();
        InitMsgDef(*msg, def);
        std::memcpy(msg->mti, kind.mti, 4);
        std::strcpy(msg->title, kind.mti);
        for (int n : kind.base)
            SetBit(msg->mandatory, n);
        SetBit(msg->optional, 1);
        for (int n : kind.extra)
            SetBit(msg->optional, n);
        def.messages.PutIfEmpty(def.messages.FirstEmpty(), msg);
    }
}

std::vector<std::string> AcquirerCorpus(const ProtocolDef& def, int count) {
    Random random{0x9E3779B97F4A7C15ULL};
    std::vector<std::string> corpus;
    for (int i = 0; i < count; ++i) {
        const Kind& kind = Draw(random);
        const FieldMask present = Fields(kind, random);
        Writer writer(def);
        writer.Mti(kind.mti);
        writer.Bitmap(present);
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            if (TestBit(present, n)) writer.Field(n, ValueOf(*Find(n), random));
        }
        corpus.push_back(writer.Take());
    }
    return corpus;
}
