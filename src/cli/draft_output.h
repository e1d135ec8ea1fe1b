// What `build` and `convert` share: the output options, and the step from a filled draft to
// the units written.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/message_output.h"
#include "encode/encoder.h"
#include "encode/message_draft.h"
#include "model/protocol.h"

struct OutputOptions {
    std::string framing = "hex";
    std::string header;  // --out-header, hexadecimal
    bool hasHeader = false;
    bool padNumbers = false;
    std::string path;  // -o
    bool toFile = false;
};

// --out, --out-header, --pad-numbers and -o, stored in options.
void AddOutputOptions(CLI::App& command, OutputOptions& options);

// The units of --out-header. False, reported, when they are not hexadecimal digits or not as
// many as the header the definition declares.
bool OutputHeader(const OutputOptions& options, const ProtocolDef& def,
                  std::vector<std::uint8_t>& units);

// Encodes drafts under one definition and writes them framed.
class DraftOutput {
  public:
    // header: the units of --out-header, put before every message instead of the draft's own;
    // null when not given.
    DraftOutput(const ProtocolDef& def, const OutputOptions& options,
                const std::vector<std::uint8_t>* header, std::FILE* stream);

    // Encodes the draft and writes it. False, with nothing written and the reason set ("field
    // 4: 13 digits, at most 12"), when it cannot be built; a failed write shows in Failed().
    bool Put(MessageDraft& draft, std::string& reason);
    // Writes what is left; false when a write failed, with errno set to its error.
    bool Finish();
    bool Failed() const { return output.Failed(); }

  private:
    const ProtocolDef& def;
    DecodePlan plan;  // the definition's field rules, worked out once for every message
    EncodeOptions encode;
    const std::vector<std::uint8_t>* header;
    EncodeScratch scratch;
    std::vector<std::uint8_t> units;
    MessageOutput output;
};
