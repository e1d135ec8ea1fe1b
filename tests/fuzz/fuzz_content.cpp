// The inspection layer on arbitrary bytes: the BER-TLV parser, the track readers and the
// masking of a field's value, with the invariants the reports rely on.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 4096) return 0;
    const int n = static_cast<int>(size) - 1;
    CheckTlv(data + 1, n);
    CheckTracks(data + 1, n);
    static const int kNumbers[] = {2, 35, 45, 52, 55};
    CheckField(data + 1, n, (data[0] & 0x80) != 0, kNumbers[(data[0] & 0x7F) % 5]);
    return 0;
}
