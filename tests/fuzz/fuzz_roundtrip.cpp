// Decode, encode, decode again, on arbitrary bytes under a definition that the input chooses:
// whatever the decoder reads exactly, the encoder writes so that the decoder reads the same
// again, with and without the decode plan, and from the values as the checker shows them.
//
// Input layout, as fuzz_decoder's, so that its seeds serve here too: 6 encoding bytes (MTI,
// bitmap, length, numeric, character, binary), a count of data elements and 6 bytes for each,
// a flag byte (with 36 bytes of message definition when set), then the message.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "decode/decoder.h"
#include "decode/field_with_settings.h"
#include "encode/encoder.h"
#include "encode/field_with_settings.h"
#include "fuzz_check.h"
#include "support/text.h"

namespace {

class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    std::int16_t Int16() {
        const int high = Byte();
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(high << 8 | Byte()));
    }
    const std::uint8_t* Rest() const { return data + pos; }
    std::size_t RestSize() const { return pos < size ? size - pos : 0; }

  private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

Encoding PickEncoding(std::uint8_t b, std::initializer_list<Encoding> reachable) {
    if (b & 0x80) return static_cast<Encoding>((b & 0x7F) % kEncodingCount);
    return reachable.begin()[b % reachable.size()];
}

std::int16_t PickPrefixSize(std::uint8_t b) {
    static constexpr std::int16_t kOdd[] = {-32768, -6, -1, 6, 7, 255, 1000, 32767};
    return b < 0xF0 ? static_cast<std::int16_t>(b % 6) : kOdd[b % 8];
}

void AddSettings(Reader& in, ProtocolDef& def) {
    using E = Encoding;
    const int count = in.Byte() % 8;
    for (int i = 0; i < count; ++i) {
        const int n = kFirstDataElement + in.Byte() % (kLastField - kFirstDataElement + 1);
        FieldSettings& s = def.settings[n];
        const std::uint8_t encodings = in.Byte();
        const std::uint8_t flags = in.Byte();
        if (encodings & 0x01)
            s.lenEnc = PickEncoding(in.Byte(), {E::BIGEND, E::PBCD, E::HEX, E::CHAR});
        if (encodings & 0x02)
            s.numEnc = PickEncoding(in.Byte(), {E::BIGEND, E::PBCD, E::HEX, E::CHAR});
        if (encodings & 0x04)
            s.binEnc = PickEncoding(in.Byte(), {E::NONE, E::HEX, E::CHAR, E::PBCD});
        if (encodings & 0x08) s.charset = PickEncoding(in.Byte(), {E::ASCII, E::EBCDIC});
        if (flags & 0x01) s.padSide = (flags & 0x02) ? PadSide::kRight : PadSide::kLeft;
        if (flags & 0x04) s.padNibble = (flags & 0x08) ? 0xF : 0;
        s.prefixNibbles = (flags & 0x10) != 0;
        s.prefixLeftAligned = (flags & 0x20) != 0;
        s.prefixNumber = (flags & 0x40) != 0;
        s.sixUnitPrefix = (flags & 0x80) != 0;
        if (s.sixUnitPrefix && def.fields[n].sizeLen > 0) def.fields[n].sizeLen = kMaxPrefixUnits;
        def.options.emptyFields = (in.Byte() & 1) != 0;
    }
}

void BuildDefinition(Reader& in, ProtocolDef& def) {
    using E = Encoding;
    def.mtiEnc = PickEncoding(in.Byte(), {E::PBCD, E::CHAR});
    def.bmpEnc = PickEncoding(in.Byte(), {E::NONE, E::HEX, E::CHAR});
    def.lenEnc = PickEncoding(in.Byte(), {E::NONE, E::BIGEND, E::PBCD, E::HEX, E::CHAR});
    def.numEnc = PickEncoding(in.Byte(), {E::BIGEND, E::PBCD, E::HEX, E::CHAR});
    def.chrEnc = PickEncoding(in.Byte(), {E::ASCII, E::EBCDIC});
    def.binEnc = PickEncoding(in.Byte(), {E::NONE, E::HEX, E::CHAR});
    const std::uint8_t countByte = in.Byte();
    for (int i = countByte % 16; i > 0; --i) {
        const int n = kFirstDataElement + in.Byte() % (kLastField - kFirstDataElement + 1);
        FldDef& f = def.fields[n];
        f.type = static_cast<FieldType>(in.Byte() % kFieldTypeCount);
        f.size = in.Int16();
        f.sizeLen = PickPrefixSize(in.Byte());
        f.subfield = (in.Byte() & 1) != 0;
    }
    if (countByte & 0x80) AddSettings(in, def);
    // The message definition only changes the verdict, which the round trip does not compare:
    // its bytes are skipped to keep the layout.
    if (in.Byte() & 1) {
        for (int i = 0; i < 36; ++i)
            in.Byte();
    }
}

struct Decoded {
    std::string mti;
    FieldMask bitmap{};
    std::vector<std::pair<int, std::string>> fields;
    std::vector<std::pair<int, int>> spans;  // each field's offset and units

    bool operator==(const Decoded& other) const {
        return mti == other.mti && bitmap == other.bitmap && fields == other.fields;
    }
};

// Whether the message decodes exactly: every field read, no unit after the last.
bool DecodeExactly(const std::uint8_t* units, std::size_t size, const ProtocolDef& def,
                   Decoded& decoded) {
    decoded = Decoded{};
    if (size < 1 || size > static_cast<std::size_t>(kMaxMessageUnits)) return false;
    AutoBuff message;
    FUZZ_CHECK(message.Reserve(static_cast<int>(size), false));
    std::memcpy(message.Data(), units, size);
    FUZZ_CHECK(message.SetLength(static_cast<int>(size)));
    int end = -1;
    const FieldConsumer consumer = [&](const DecodedField& field) {
        decoded.fields.emplace_back(field.number,
                                    std::string(reinterpret_cast<const char*>(field.value->Data()),
                                                static_cast<std::size_t>(field.value->Length())));
        decoded.spans.emplace_back(field.offset, field.consumed);
        end = field.offset + field.consumed;
        return true;
    };
    AutoBuff verdict;
    MessageHeader header;
    DecodeMessage(message, def, consumer, verdict, &header);
    decoded.mti = header.mti;
    decoded.bitmap = header.bitmap;
    const bool read = verdict.Length() > 0 && std::strncmp(verdict.Text(), "Error", 5) != 0;
    return read && !decoded.fields.empty() && end == static_cast<int>(size);
}

bool Encode(const MessageDraft& draft, const ProtocolDef& def, const DecodePlan* plan,
            std::vector<std::uint8_t>& out, std::string& error) {
    EncodeScratch scratch;
    scratch.plan = plan;
    out.clear();
    const bool encoded = EncodeMessage(draft, def, {}, out, error, scratch);
    // A refusal names what it refuses and leaves nothing written.
    FUZZ_CHECK(encoded || (!error.empty() && out.empty()));
    FUZZ_CHECK(!encoded || (!out.empty() && out.size() <= kMaxMessageUnits));
    if (!encoded) {
        FUZZ_CHECK(error.rfind("field ", 0) == 0 || error.rfind("mti: ", 0) == 0 ||
                   error.rfind("message: ", 0) == 0);
    }
    return encoded;
}

// Each field's units are what EncodeValue writes for its value under the rules the decoder read
// it by: the encoder's own route for classic fields writes nothing else.
void CheckFieldsAlone(const ProtocolDef& def, const Decoded& decoded,
                      const std::vector<std::uint8_t>& message) {
    static const FieldSettings none{};
    std::vector<std::uint8_t> units;
    std::string reason;
    for (std::size_t i = 0; i < decoded.fields.size(); ++i) {
        const auto& [n, value] = decoded.fields[i];
        ValueRules rules = FieldRules(def, n);
        if (!FollowsOwnSettings(def, n)) {
            const FldDef& field = def.fields[n];
            rules = RulesOf(def, field.type, field.size, field.sizeLen, none);
            rules.emptyAllowed = false;
        }
        units.clear();
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data());
        FUZZ_CHECK(EncodeValue(rules, {bytes, value.size()}, false, units, reason));
        const auto [offset, consumed] = decoded.spans[i];
        FUZZ_CHECK(units.size() == static_cast<std::size_t>(consumed));
        FUZZ_CHECK(std::equal(units.begin(), units.end(), message.begin() + offset));
    }
}

// The value as the checker shows it.
std::string Shown(const ProtocolDef& def, int n, const std::string& value) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data());
    std::string shown;
    if (ValueIsBinary(def, n)) {
        AssignHex(shown, bytes, static_cast<int>(value.size()));
    } else if (!NumberDigits(def, n, {bytes, value.size()}, shown)) {
        shown = "not a decoded value";
    }
    return shown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    auto def = std::make_unique<ProtocolDef>();
    BuildDefinition(in, *def);

    Decoded first;
    if (!DecodeExactly(in.Rest(), in.RestSize(), *def, first)) return 0;
    MessageDraft draft;
    draft.SetMti(first.mti);
    draft.AnnounceSecondaryBitmap(TestBit(first.bitmap, 1));
    for (const auto& [n, value] : first.fields)
        draft.SetField(n, value, ValueForm::kUnits);

    const DecodePlan plan(*def);
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> derived;
    std::string error;
    const bool encoded = Encode(draft, *def, &plan, out, error);
    FUZZ_CHECK(Encode(draft, *def, nullptr, derived, error) == encoded);
    if (!encoded) return 0;
    FUZZ_CHECK(derived == out);

    Decoded second;
    FUZZ_CHECK(DecodeExactly(out.data(), out.size(), *def, second));
    FUZZ_CHECK(second == first);
    CheckFieldsAlone(*def, second, out);
    // What the encoder writes is its own canonical form.
    std::vector<std::uint8_t> again;
    FUZZ_CHECK(Encode(draft, *def, &plan, again, error));
    FUZZ_CHECK(again == out);

    // The shown values, where they still say everything, encode to the same units.
    MessageDraft shown;
    shown.SetMti(first.mti);
    shown.AnnounceSecondaryBitmap(TestBit(first.bitmap, 1));
    for (const auto& [n, value] : first.fields)
        shown.SetField(n, Shown(*def, n, value), ValueForm::kShown);
    if (Encode(shown, *def, &plan, again, error)) FUZZ_CHECK(again == out);
    return 0;
}
