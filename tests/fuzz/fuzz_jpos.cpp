// The jpos reader on arbitrary bytes: it never crashes, it refuses only with a reason, and what it
// accepts it writes as a packager that reads back to the same definition wherever the writer
// says nothing was left out.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "interop/interop.h"
#include "model/pro_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    InteropNotes notes;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ImportJpos(text, *def, notes, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    std::string xml;
    InteropNotes exportNotes;
    ExportJpos(*def, xml, exportNotes);
    auto again = std::make_unique<ProtocolDef>();
    again->Reset();
    InteropNotes againNotes;
    FUZZ_CHECK(ImportJpos(xml, *again, againNotes, error));
    if (exportNotes.empty()) {
        std::string before;
        std::string after;
        FUZZ_CHECK(FormatProtocolText(*def, before));
        FUZZ_CHECK(FormatProtocolText(*again, after));
        FUZZ_CHECK(before == after);
    }
    return 0;
}
