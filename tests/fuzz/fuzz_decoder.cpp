// The message decoder on arbitrary bytes under a definition that the input itself chooses.
//
// Input layout: 6 encoding bytes (MTI, bitmap, length, numeric, character, binary), a count of
// data elements and 6 bytes for each, a flag byte (with 36 bytes of message definition when
// set), then the message.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "decode/decoder.h"
#include "diagnose/diagnoser.h"
#include "fuzz_check.h"

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

// The values a file or the pages can set; with the top bit, any value of the enumeration, so
// that a definition built in code cannot upset the decoder either.
Encoding PickEncoding(std::uint8_t b, std::initializer_list<Encoding> reachable) {
    if (b & 0x80) return static_cast<Encoding>((b & 0x7F) % kEncodingCount);
    return reachable.begin()[b % reachable.size()];
}

// A file stores the prefix size before it checks it, so odd values reach the decoder.
std::int16_t PickPrefixSize(std::uint8_t b) {
    static constexpr std::int16_t kOdd[] = {-32768, -6, -1, 6, 7, 255, 1000, 32767};
    return b < 0xF0 ? static_cast<std::int16_t>(b % 6) : kOdd[b % 8];
}

// Four bytes a setting: the field, its encodings, its flags, and the dialect's empty fields.
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
    const int count = countByte % 16;
    for (int i = 0; i < count; ++i) {
        const int n = kFirstDataElement + in.Byte() % (kLastField - kFirstDataElement + 1);
        FldDef& f = def.fields[n];
        f.type = static_cast<FieldType>(in.Byte() % kFieldTypeCount);
        f.size = in.Int16();
        f.sizeLen = PickPrefixSize(in.Byte());
        f.subfield = (in.Byte() & 1) != 0;
    }
    // With the count's top bit, settings of fields' own and the dialect's empty fields.
    if (countByte & 0x80) AddSettings(in, def);

    if (in.Byte() & 1) {
        auto msg = std::make_unique<MsgDef>();
        InitMsgDef(*msg, def);
        for (int i = 0; i < 4; ++i)
            msg->mti[i] = static_cast<char>(in.Byte());
        for (auto& b : msg->mandatory)
            b = in.Byte();
        for (auto& b : msg->optional)
            b = in.Byte();
        def.messages.PutIfEmpty(0, msg);
    }
}

// A field as both decoders must report it: number, place and value.
std::string Describe(const DecodedField& field) {
    std::string text = std::to_string(field.number) + "@" + std::to_string(field.offset) + "+" +
                       std::to_string(field.consumed) + ":";
    if (field.value->Length() > 0) {
        text.append(reinterpret_cast<const char*>(field.value->Data()),
                    static_cast<std::size_t>(field.value->Length()));
    }
    return text;
}

void CheckValue(const AutoBuff& value, bool emptyAllowed) {
    FUZZ_CHECK(value.Length() >= (emptyAllowed ? 0 : 1));
    FUZZ_CHECK(value.Length() < value.Capacity());
    FUZZ_CHECK(value.Capacity() <= AutoBuff::kMaxCapacity);
    FUZZ_CHECK(value.Data()[value.Length()] == 0);
}

// The diagnosis accounts for every unit once, in order, and never changes the definition.
void CheckDiagnosis(const AutoBuff& message, const ProtocolDef& def, bool ok) {
    const Encoding before[] = {def.mtiEnc, def.bmpEnc, def.lenEnc,
                               def.numEnc, def.chrEnc, def.binEnc};
    std::vector<FieldSettings> settings(std::begin(def.settings), std::end(def.settings));
    const DialectOptions options = def.options;
    const Diagnosis d = DiagnoseMessage(message, 0, def);
    FUZZ_CHECK(d.ok == ok);
    int at = 0;
    for (const MapEntry& entry : d.map) {
        FUZZ_CHECK(entry.offset == at && entry.units >= 1);
        at += entry.units;
    }
    FUZZ_CHECK(at == message.Length());
    FUZZ_CHECK(d.readings.size() <= static_cast<std::size_t>(Diagnoser::kKept));
    FUZZ_CHECK(!ok || d.readings.empty());
    for (const Reading& r : d.readings) {
        FUZZ_CHECK(r.Changes() >= 1);
        FUZZ_CHECK(r.ok == (r.verdict == "... Parsing OK ..."));
    }
    const Encoding after[] = {def.mtiEnc, def.bmpEnc, def.lenEnc,
                              def.numEnc, def.chrEnc, def.binEnc};
    FUZZ_CHECK(std::memcmp(before, after, sizeof before) == 0);
    FUZZ_CHECK(std::equal(std::begin(settings), std::end(settings), std::begin(def.settings)));
    FUZZ_CHECK(options == def.options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    ProtocolDef def;
    BuildDefinition(in, def);

    // The message in storage of its exact size, so that any read past it is caught.
    const int length = static_cast<int>(in.RestSize());
    if (length > AutoBuff::kMaxCapacity) return 0;
    AutoBuff message;
    if (length > 0) {
        FUZZ_CHECK(message.Reserve(length, false));
        std::memcpy(message.Data(), in.Rest(), static_cast<std::size_t>(length));
        FUZZ_CHECK(message.SetLength(length));
    }

    int lastNumber = 1;
    int end = -1;  // where the previous field ended
    const FieldConsumer consumer = [&](const DecodedField& field) {
        FUZZ_CHECK(field.number > lastNumber && field.number <= kLastField);
        FUZZ_CHECK(def.fields[field.number].type != FieldType::U);
        FUZZ_CHECK(field.consumed >= 1);
        FUZZ_CHECK(field.offset >= 0);
        FUZZ_CHECK(end < 0 || field.offset == end);
        FUZZ_CHECK(field.offset + field.consumed <= length);
        FUZZ_CHECK(field.value != nullptr);
        CheckValue(*field.value, def.options.emptyFields);
        lastNumber = field.number;
        end = field.offset + field.consumed;
        return true;
    };

    AutoBuff verdict;
    MessageHeader header;
    std::vector<std::string> plainFields;
    const FieldConsumer record = [&](const DecodedField& field) {
        plainFields.push_back(Describe(field));
        return consumer(field);
    };
    const bool ok = DecodeMessage(message, def, record, verdict, &header);
    // The plan must decode exactly as the definition's own rules do.
    const DecodePlan plan(def);
    DecodeScratch scratch;
    scratch.plan = &plan;
    std::vector<std::string> plannedFields;
    AutoBuff plannedVerdict;
    const bool plannedOk = DecodeMessage(
        message, def,
        [&](const DecodedField& field) {
            plannedFields.push_back(Describe(field));
            return true;
        },
        plannedVerdict, nullptr, scratch);
    FUZZ_CHECK(plannedOk == ok);
    FUZZ_CHECK(plannedFields == plainFields);
    FUZZ_CHECK(std::strcmp(plannedVerdict.Text(), verdict.Text()) == 0);
    FUZZ_CHECK(verdict.Length() == 0 || verdict.Length() < verdict.Capacity());
    FUZZ_CHECK(std::strlen(verdict.Text()) == static_cast<std::size_t>(verdict.Length()));
    FUZZ_CHECK(!ok || std::strcmp(verdict.Text(), "... Parsing OK ...") == 0);
    FUZZ_CHECK(std::strlen(header.mti) <= 4);
    if (length > kMaxMessageUnits) FUZZ_CHECK(!ok && verdict.Length() == 0 && end < 0);
    // Fields 65 to 128 come only with a secondary bitmap, which bit 1 announces.
    if (!TestBit(header.bitmap, 1)) {
        for (int i = 8; i < 16; ++i)
            FUZZ_CHECK(header.bitmap[i] == 0);
    }
    // A search decodes some 800 readings: short messages keep the fuzzer quick.
    if (length <= 512) CheckDiagnosis(message, def, ok);
    return 0;
}
