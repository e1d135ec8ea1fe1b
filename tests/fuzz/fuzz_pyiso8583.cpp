// The pyiso8583 reader on arbitrary bytes: it never crashes, and what it accepts writes and reads
// again alike, field by field, but for the fields a note of the writer names; written again, it
// is the same text.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "interop/interop.h"
#include "interop/pyiso8583_format.h"

namespace {

bool NotesField(const InteropNotes& notes, int n) {
    const std::string lead = "field " + std::to_string(n) + ":";
    return std::any_of(notes.begin(), notes.end(),
                       [&lead](const std::string& note) { return note.starts_with(lead); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    InteropNotes notes;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ImportPyiso8583(text, *def, notes, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(error.empty());
    for (const std::string& note : notes)
        FUZZ_CHECK(!note.empty() && note.find('\n') == std::string::npos);

    std::string written;
    InteropNotes writeNotes;
    ExportPyiso8583(*def, written, writeNotes);
    auto back = std::make_unique<ProtocolDef>();
    back->Reset();
    InteropNotes readNotes;
    FUZZ_CHECK(ImportPyiso8583(written, *back, readNotes, error));
    FUZZ_CHECK(back->mtiEnc == def->mtiEnc && back->bmpEnc == def->bmpEnc);
    FUZZ_CHECK(back->options == def->options);
    if (back->mtiEnc == Encoding::CHAR || back->bmpEnc == Encoding::HEX) {
        FUZZ_CHECK(back->chrEnc == def->chrEnc);
    }
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        FUZZ_CHECK(std::strcmp(back->fields[n].description, def->fields[n].description) == 0);
        FUZZ_CHECK(pyiso::ReadingOf(*back, n) == pyiso::ReadingOf(*def, n) ||
                   NotesField(writeNotes, n));
    }

    std::string again;
    InteropNotes againNotes;
    ExportPyiso8583(*back, again, againNotes);
    FUZZ_CHECK(again == written);
    return 0;
}
