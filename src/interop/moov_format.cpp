#include "interop/interop.h"

bool ImportMoov(std::string_view, ProtocolDef&, InteropNotes&, std::string& error) {
    error = "reading moov definitions is not built yet";
    return false;
}

void ExportMoov(const ProtocolDef&, std::string& out, InteropNotes& notes) {
    out.clear();
    notes.push_back("writing moov definitions is not built yet");
}
