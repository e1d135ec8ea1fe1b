#include "interop/interop.h"

bool ImportJpos(std::string_view, ProtocolDef&, InteropNotes&, std::string& error) {
    error = "reading jpos definitions is not built yet";
    return false;
}

void ExportJpos(const ProtocolDef&, std::string& out, InteropNotes& notes) {
    out.clear();
    notes.push_back("writing jpos definitions is not built yet");
}
