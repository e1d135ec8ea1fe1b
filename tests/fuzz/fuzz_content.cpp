// The inspection layer on arbitrary bytes: the BER-TLV parser, the track readers, the masking
// of a field's value and the reading of declared subfields, with the invariants the reports
// rely on.
#include <cstdint>
#include <cstring>
#include <vector>

#include "content/field_content.h"
#include "content/tlv.h"
#include "content/track_data.h"
#include "fuzz_check.h"

namespace {

void CheckTlv(const std::uint8_t* data, int size) {
    std::vector<TlvObject> objects(static_cast<std::size_t>(TlvRoom(size)));
    TlvFailure failure;
    const int n = ParseTlv(data, size, objects.data(), static_cast<int>(objects.size()), failure);
    if (n < 0) {
        FUZZ_CHECK(failure.fault != TlvFault::kNone && failure.fault != TlvFault::kNoRoom);
        FUZZ_CHECK(failure.offset >= 0 && failure.offset <= size);
        return;
    }
    for (int i = 0; i < n; ++i) {
        const TlvObject& o = objects[i];
        FUZZ_CHECK(o.offset >= 0 && o.valueOffset > o.offset);
        FUZZ_CHECK(o.length >= 0 && o.valueOffset + o.length <= size);
        FUZZ_CHECK(o.depth >= 1 && o.depth <= kTlvMaxDepth);
        FUZZ_CHECK(o.end > i && o.end <= n);
        if (o.parent >= 0) {
            const TlvObject& p = objects[o.parent];
            FUZZ_CHECK(o.parent < i && o.depth == p.depth + 1);
            FUZZ_CHECK(o.offset >= p.valueOffset &&
                       o.valueOffset + o.length <= p.valueOffset + p.length);
        }
    }
}

// A track that fits keeps every part inside the value.
void CheckTracks(const std::uint8_t* data, int size) {
    TrackData track;
    for (int form = 0; form < 3; ++form) {
        const bool fits = form == 0   ? ParseTrack2Text(data, size, track)
                          : form == 1 ? ParseTrack2Packed(data, size, track)
                                      : ParseTrack1(data, size, track);
        if (!fits) continue;
        for (const TrackSpan& span :
             {track.account, track.name, track.expiry, track.serviceCode, track.discretionary}) {
            FUZZ_CHECK(span.start >= 0 && span.size >= 0 &&
                       span.start + span.size <= track.symbols);
        }
    }
}

// Masking never changes the length of what is shown, and the unmasked form is the value.
void CheckField(const std::uint8_t* data, int size, bool text, int number) {
    static ProtocolDef def;
    def.binEnc = text ? Encoding::HEX : Encoding::NONE;
    DefineField(def.fields[number], text ? FieldType::ANS : FieldType::B, 999, 2, true, "");
    AutoBuff value;
    if (size < 1 || !value.Reserve(size + 1, false)) return;
    std::memcpy(value.Data(), data, static_cast<std::size_t>(size));
    value.SetLength(size);
    value.Terminate();
    DecodedField field;
    field.number = static_cast<std::int16_t>(number);
    field.value = &value;
    InspectOptions options;
    const FieldInspection masked = InspectField(def, field, options);
    options.mask = false;
    const FieldInspection plain = InspectField(def, field, options);
    FUZZ_CHECK(masked.hex.size() == plain.hex.size() && masked.value.size() == plain.value.size());
    FUZZ_CHECK(masked.tags.size() == plain.tags.size());
    FUZZ_CHECK(!plain.masked);
}

// A structure chosen by the input's first bytes over a field holding the rest: every row lies
// inside the field, nests properly, and shows as many characters masked as plain.
void CheckSubfields(const std::uint8_t* data, int size) {
    if (size < 12) return;
    const std::uint8_t* pick = data;
    data += 12;
    size -= 12;
    static ProtocolDef def;
    def.Reset();
    def.numEnc = (pick[0] & 1) != 0 ? Encoding::PBCD : Encoding::CHAR;
    def.chrEnc = (pick[0] & 2) != 0 ? Encoding::EBCDIC : Encoding::ASCII;
    def.lenEnc = (pick[0] & 4) != 0 ? Encoding::BIGEND : Encoding::CHAR;
    const bool text = (pick[0] & 8) != 0;
    const int n = 48;
    DefineField(def.fields[n], text ? FieldType::ANS : FieldType::B, 999, 3, true, "");
    static const SubfieldLayout kLayouts[] = {SubfieldLayout::kPositional, SubfieldLayout::kTagged,
                                              SubfieldLayout::kBitmap, SubfieldLayout::kBerTlv};
    static const Encoding kParts[] = {Encoding::CHAR, Encoding::PBCD, Encoding::BIGEND};
    static const FieldType kTypes[] = {FieldType::N, FieldType::ANS, FieldType::B, FieldType::Z};
    SubfieldPath path;
    SplitPath("48", path);
    auto shape = [&](SubfieldNode& node, std::uint8_t a, std::uint8_t b) {
        SubfieldStructure& s = node.structure;
        s.layout = kLayouts[a % 4];
        s.tag = {static_cast<std::uint8_t>(1 + b % 3), kParts[(b >> 2) % 3]};
        s.length = {static_cast<std::uint8_t>(1 + (b >> 4) % 3), kParts[(a >> 2) % 3]};
        s.lengthFirst = (a & 0x10) != 0;
        s.head = static_cast<std::int16_t>((a >> 5) % 3);
        s.bitmapBytes = static_cast<std::uint8_t>(1 + (b >> 6) % 2);
        s.bitmapHex = (a & 0x80) != 0;
    };
    SubfieldNode& top = def.subfields.Make(path);
    shape(top, pick[1], pick[2]);
    // Children 1 to 4, numbered for positional and bitmapped structures: a tagged one finds
    // them only where the input spells the ids.
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t c = pick[3 + 2 * i];
        const std::uint8_t d = pick[4 + 2 * i];
        SubfieldNode& child = top.children.emplace_back();
        child.id = std::to_string(i + 1);
        child.defined = true;
        child.def.type = kTypes[c % 4];
        child.def.size = static_cast<std::int16_t>(1 + d % 20);
        child.def.sizeLen = static_cast<std::int16_t>((c >> 2) % 3);
        child.def.rest = i == 3 && (c & 0x10) != 0;
        child.def.holds = static_cast<SubfieldHolds>((c >> 5) % 4);
        if (i == 0 && (d & 0x80) != 0) {
            child.def.subfield = true;
            shape(child, pick[11], d);
            SubfieldNode& grandchild = child.children.emplace_back();
            grandchild.id = "1";
            grandchild.defined = true;
            grandchild.def.type = FieldType::ANS;
            grandchild.def.size = 2;
        }
    }
    AutoBuff value;
    if (!value.Reserve(size + 1, false)) return;
    if (size > 0) std::memcpy(value.Data(), data, static_cast<std::size_t>(size));
    value.SetLength(size);
    value.Terminate();
    DecodedField field;
    field.number = n;
    field.offset = 10;
    field.consumed = static_cast<std::int16_t>(3 + size);
    field.value = &value;
    InspectOptions options;
    const FieldInspection masked = InspectField(def, field, options);
    options.mask = false;
    const FieldInspection plain = InspectField(def, field, options);
    const SubfieldReading& rows = plain.subfields;
    FUZZ_CHECK(masked.subfields.rows.size() == rows.rows.size());
    FUZZ_CHECK(masked.value.size() == plain.value.size() && !plain.masked);
    const int first = field.offset;
    const int last = field.offset + field.consumed;
    for (std::size_t i = 0; i < rows.rows.size(); ++i) {
        const SubfieldRow& row = rows.rows[i];
        const SubfieldRow& shown = masked.subfields.rows[i];
        FUZZ_CHECK(row.offset >= first && row.consumed >= 0 && row.offset + row.consumed <= last);
        FUZZ_CHECK(row.valueOffset >= row.offset &&
                   row.valueOffset + row.valueUnits <= row.offset + row.consumed);
        FUZZ_CHECK(row.end > static_cast<int>(i) && row.end <= static_cast<int>(rows.rows.size()));
        FUZZ_CHECK(row.depth >= 1 && row.depth <= kMaxSubfieldDepth + kTlvMaxDepth);
        FUZZ_CHECK(!row.masked && shown.value.size() == row.value.size() &&
                   shown.hex.size() == row.hex.size());
        FUZZ_CHECK(row.hex.size() == 2 * static_cast<std::size_t>(row.length));
    }
    if (rows.failed) {
        FUZZ_CHECK(!rows.error.id.empty() && !rows.error.reason.empty());
        FUZZ_CHECK(rows.error.offset >= first && rows.error.offset <= last);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 4096) return 0;
    const int n = static_cast<int>(size) - 1;
    CheckTlv(data + 1, n);
    CheckTracks(data + 1, n);
    static const int kNumbers[] = {2, 35, 45, 52, 55};
    CheckField(data + 1, n, (data[0] & 0x80) != 0, kNumbers[(data[0] & 0x7F) % 5]);
    CheckSubfields(data + 1, n);
    return 0;
}
