#include "interop/interop.h"

bool ImportPyiso8583(std::string_view, ProtocolDef&, InteropNotes&, std::string& error) {
    error = "reading pyiso8583 definitions is not built yet";
    return false;
}

void ExportPyiso8583(const ProtocolDef&, std::string& out, InteropNotes& notes) {
    out.clear();
    notes.push_back("writing pyiso8583 definitions is not built yet");
}
