// The moov reader on arbitrary bytes: it never crashes, it refuses only with a reason, and what
// it accepts the writer writes as a moov field list that reads back to the very same definition;
// where the writer leaves something out it says so, and every field it says nothing of reads
// alike.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "interop/field_reading.h"
#include "interop/interop.h"

namespace {

bool SameFields(const ProtocolDef& a, const ProtocolDef& b) {
    for (int n = 0; n < kFieldCount; ++n) {
        const FldDef& x = a.fields[n];
        const FldDef& y = b.fields[n];
        if (x.type != y.type || x.size != y.size || x.sizeLen != y.sizeLen ||
            x.subfield != y.subfield || std::strcmp(x.description, y.description) != 0 ||
            !(a.settings[n] == b.settings[n])) {
            return false;
        }
    }
    return true;
}

bool Mentions(const InteropNotes& notes, const std::string& text) {
    for (const std::string& note : notes) {
        if (note.find(text) != std::string::npos) return true;
    }
    return false;
}

bool SameDialect(const ProtocolDef& a, const ProtocolDef& b) {
    return std::strcmp(a.name, b.name) == 0 && a.mtiEnc == b.mtiEnc && a.bmpEnc == b.bmpEnc &&
           a.lenEnc == b.lenEnc && a.numEnc == b.numEnc && a.chrEnc == b.chrEnc &&
           a.binEnc == b.binEnc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto first = std::make_unique<ProtocolDef>();
    first->Reset();
    InteropNotes notes;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ImportMoov(text, *first, notes, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    std::string written;
    InteropNotes written_notes;
    ExportMoov(*first, written, written_notes);
    auto second = std::make_unique<ProtocolDef>();
    second->Reset();
    InteropNotes second_notes;
    FUZZ_CHECK(ImportMoov(written, *second, second_notes, error));
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (Mentions(written_notes, "field " + std::to_string(n) + ":")) continue;
        FUZZ_CHECK(FieldReading(*first, n) == FieldReading(*second, n));
    }
    if (Mentions(written_notes, "not written")) return 0;
    FUZZ_CHECK(SameDialect(*first, *second));
    FUZZ_CHECK(SameFields(*first, *second));
    FUZZ_CHECK(first->subfields == second->subfields);
    return 0;
}
