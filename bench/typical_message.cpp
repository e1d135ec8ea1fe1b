#include "typical_message.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>

namespace {

struct Element {
    int number;
    FieldType type;
    int size;
    bool variable;
    const char* description;
};

constexpr Element kTypical[] = {
    {2, FieldType::N, 19, true, "Primary account number"},
    {3, FieldType::N, 6, false, "Processing code"},
    {4, FieldType::N, 12, false, "Amount, transaction"},
    {7, FieldType::N, 10, false, "Transmission date and time"},
    {11, FieldType::N, 6, false, "System trace audit number"},
    {12, FieldType::N, 6, false, "Time, local transaction"},
    {13, FieldType::N, 4, false, "Date, local transaction"},
    {14, FieldType::N, 4, false, "Date, expiration"},
    {18, FieldType::N, 4, false, "Merchant type"},
    {22, FieldType::N, 3, false, "Point of service entry mode"},
    {25, FieldType::N, 2, false, "Point of service condition code"},
    {32, FieldType::N, 11, true, "Acquiring institution id"},
    {35, FieldType::Z, 37, true, "Track 2 data"},
    {37, FieldType::AN, 12, false, "Retrieval reference number"},
    {41, FieldType::ANS, 8, false, "Card acceptor terminal id"},
    {42, FieldType::ANS, 15, false, "Card acceptor id"},
    {43, FieldType::ANS, 40, false, "Card acceptor name and location"},
    {49, FieldType::N, 3, false, "Currency code, transaction"},
    {52, FieldType::B, 8, false, "PIN data"},
    {55, FieldType::B, 255, true, "ICC data"},
    {100, FieldType::N, 11, true, "Receiving institution id"},
};

void SetEncodings(ProtocolDef& def, Dialect dialect) {
    const bool text = dialect == Dialect::kText;
    def.mtiEnc = text ? Encoding::CHAR : Encoding::PBCD;
    def.bmpEnc = text ? Encoding::HEX : Encoding::NONE;
    def.lenEnc = text ? Encoding::CHAR : Encoding::BIGEND;
    def.numEnc = text ? Encoding::CHAR : Encoding::PBCD;
    def.chrEnc = Encoding::ASCII;
    def.binEnc = text ? Encoding::HEX : Encoding::NONE;
}

void Define(ProtocolDef& def, int n, FieldType type, int size, bool variable,
            const char* description) {
    const auto prefix = variable ? def.LengthPrefixSize(static_cast<std::int16_t>(size), n) : 0;
    DefineField(def.fields[n], type, static_cast<std::int16_t>(size),
                static_cast<std::int16_t>(prefix), false, description);
}

void AddMessage(ProtocolDef& def, const char* mti, const FieldMask& mandatory,
                const FieldMask& optional) {
    auto msg = std::make_unique<MsgDef>();
    InitMsgDef(*msg, def);
    std::memcpy(msg->mti, mti, 4);
    std::strcpy(msg->title, mti);
    msg->mandatory = mandatory;
    msg->optional = optional;
    def.messages.PutIfEmpty(def.messages.FirstEmpty(), msg);
}

// Writes units under the protocol's encodings, as a sending host would.
class Writer {
  public:
    explicit Writer(const ProtocolDef& protocol) : def(protocol) {}

    void Mti(const char* mti) {
        if (def.mtiEnc == Encoding::PBCD) {
            Packed(mti, 4);
        } else {
            out.units.append(mti, 4);
        }
    }

    void Bitmap(const FieldMask& bitmap) {
        const int bytes = TestBit(bitmap, 1) ? 16 : 8;
        for (int i = 0; i < bytes; ++i) {
            if (def.bmpEnc == Encoding::HEX) {
                Hex(bitmap[i]);
            } else {
                out.units.push_back(static_cast<char>(bitmap[i]));
            }
        }
    }

    // value: digits for N, characters for A to AS, bytes for B and Z.
    void Field(int n, const std::string& value) {
        const FldDef& field = def.fields[n];
        if (field.sizeLen > 0) Length(static_cast<int>(value.size()), field.sizeLen);
        if (n == 11) out.stanOffset = out.units.size();
        const Encoding e = def.DataEncoding(n);
        if (e == Encoding::PBCD) {
            Packed(value.data(), static_cast<int>(value.size()));
        } else if (e == Encoding::HEX) {
            for (char c : value)
                Hex(static_cast<std::uint8_t>(c));
        } else {
            out.units += value;
        }
    }

    BuiltMessage Take() { return std::move(out); }

  private:
    void Hex(std::uint8_t byte) {
        static const char digits[] = "0123456789ABCDEF";
        out.units.push_back(digits[byte >> 4]);
        out.units.push_back(digits[byte & 15]);
    }

    void Packed(const char* digits, int count) {
        std::string padded = count % 2 ? "0" : "";
        padded.append(digits, count);
        for (std::size_t i = 0; i < padded.size(); i += 2) {
            out.units.push_back(static_cast<char>((padded[i] - '0') << 4 | (padded[i + 1] - '0')));
        }
    }

    void Length(int d, int s) {
        if (def.lenEnc == Encoding::BIGEND) {
            if (s == 2) out.units.push_back(static_cast<char>(d >> 8));
            out.units.push_back(static_cast<char>(d & 0xFF));
        } else {
            std::string digits = std::to_string(d);
            out.units += std::string(s - digits.size(), '0') + digits;
        }
    }

    const ProtocolDef& def;
    BuiltMessage out;
};

std::string ValueOf(const FldDef& field, int length, int seed) {
    std::string value;
    for (int i = 0; i < length; ++i) {
        const int k = seed + i;
        if (field.type == FieldType::N) {
            value.push_back(static_cast<char>('0' + k % 10));
        } else if (field.type == FieldType::B || field.type == FieldType::Z) {
            value.push_back(static_cast<char>(k * 37 & 0xFF));
        } else {
            value.push_back(static_cast<char>('A' + k % 26));
        }
    }
    return value;
}

BuiltMessage Build(const ProtocolDef& def, const char* mti, const FieldMask& present) {
    Writer writer(def);
    writer.Mti(mti);
    writer.Bitmap(present);
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (!TestBit(present, n)) continue;
        const FldDef& field = def.fields[n];
        // Variable fields carry about two thirds of their maximum, as real ones tend to.
        const int length = field.sizeLen > 0 ? std::max(1, field.size * 2 / 3) : field.size;
        writer.Field(n, ValueOf(field, n == 2 ? 16 : length, n));
    }
    return writer.Take();
}

FieldMask TypicalMask() {
    FieldMask mask{};
    SetBit(mask, 1);
    for (const Element& e : kTypical)
        SetBit(mask, e.number);
    return mask;
}

}  // namespace

void DefineDialect(ProtocolDef& def, Dialect dialect) {
    SetEncodings(def, dialect);
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        switch (n % 3) {
            case 0:
                Define(def, n, FieldType::N, 6, false, "Filler number");
                break;
            case 1:
                Define(def, n, FieldType::ANS, 20, true, "Filler text");
                break;
            default:
                Define(def, n, FieldType::B, 8, false, "Filler bytes");
                break;
        }
    }
    for (const Element& e : kTypical)
        Define(def, e.number, e.type, e.size, e.variable, e.description);
    FieldMask all{};
    for (int n = 1; n <= kLastField; ++n)
        SetBit(all, n);
    AddMessage(def, "0100", TypicalMask(), FieldMask{});
    AddMessage(def, "0800", FieldMask{}, all);
}

BuiltMessage TypicalRequest(const ProtocolDef& def) {
    return Build(def, "0100", TypicalMask());
}

BuiltMessage EveryField(const ProtocolDef& def) {
    FieldMask all{};
    for (int n = 1; n <= kLastField; ++n)
        SetBit(all, n);
    return Build(def, "0800", all);
}
