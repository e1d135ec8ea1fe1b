#include "encode/subfield_writer.h"

// Stands in until the subfield writer lands: a structured field is refused, naming it.
bool WriteSubfields(const ProtocolDef&, int n, const MessageDraft&, std::int32_t,
                    const EncodeOptions&, std::vector<std::uint8_t>&, std::string& error,
                    EncodeScratch&) {
    error = "field " + std::to_string(n) + ": subfields are not written yet";
    return false;
}
