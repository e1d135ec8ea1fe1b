#include "cli/draft_output.h"

#include <cerrno>

#include "support/text.h"

namespace {

std::string Units(long count) {
    return std::to_string(count) + (count == 1 ? " unit" : " units");
}

}  // namespace

void AddOutputOptions(CLI::App& command, OutputOptions& options) {
    command
        .add_option("--out", options.framing,
                    "How the messages are written: hex (a line of hexadecimal digits each, the "
                    "default), raw (back to back), len2 or len4 (each after its length in 2 or 4 "
                    "big-endian bytes), ascii4 (after 4 decimal digits) or dump (an xxd hexdump "
                    "each, a blank line between)")
        ->check(CLI::IsMember(std::vector<std::string>(std::begin(kOutputFramingNames),
                                                       std::end(kOutputFramingNames))));
    command
        .add_option("--out-header", options.header,
                    "Put these units (hexadecimal digits) before the MTI of every message; a "
                    "definition that declares a header needs them, as many as it declares")
        ->each([&options](const std::string&) { options.hasHeader = true; });
    command.add_flag("--pad-numbers", options.padNumbers,
                     "Left-pad a fixed numeric field given fewer digits than its size with zeros");
    command
        .add_option("-o,--output", options.path,
                    "Write to this file instead of standard output (replaced only once fully "
                    "written)")
        ->each([&options](const std::string&) { options.toFile = true; });
}

bool OutputHeader(const OutputOptions& options, const ProtocolDef& def,
                  std::vector<std::uint8_t>& units) {
    const std::string& hex = options.header;
    units.resize(hex.size() / 2);
    if (hex.size() % 2 != 0 ||
        (!hex.empty() &&
         DecodeHex(static_cast<int>(hex.size()), units.data(), hex.data(),
                   static_cast<int>(units.size())) != static_cast<int>(units.size()))) {
        std::fprintf(stderr, "--out-header: \"%s\" is not hexadecimal digits\n", hex.c_str());
        return false;
    }
    if (def.options.header >= 0 && units.size() != static_cast<std::size_t>(def.options.header)) {
        std::fprintf(stderr, "--out-header: %s, and the definition declares a header of %s\n",
                     Units(static_cast<long>(units.size())).c_str(),
                     Units(def.options.header).c_str());
        return false;
    }
    return true;
}

DraftOutput::DraftOutput(const ProtocolDef& definition, const OutputOptions& options,
                         const std::vector<std::uint8_t>* outHeader, std::FILE* stream)
    : def(definition),
      plan(definition),
      header(outHeader),
      output(stream, OutputFramingNamed(options.framing)) {
    encode.padNumbers = options.padNumbers;
    scratch.plan = &plan;
}

bool DraftOutput::Put(MessageDraft& draft, std::string& reason) {
    if (header != nullptr) draft.SetHeader(*header);
    const int declared = def.options.header;
    if (declared >= 0 && draft.Header().size() != static_cast<std::size_t>(declared)) {
        reason = "the definition declares a header of " + Units(declared) +
                 ", and the message has " +
                 (draft.Header().empty() ? std::string("none")
                                         : Units(static_cast<long>(draft.Header().size()))) +
                 ": give it with --out-header";
        return false;
    }
    units.clear();
    if (!EncodeMessage(draft, def, encode, units, reason, scratch)) return false;
    if (!output.Fits(units.size(), reason)) return false;
    output.Write(units);
    return true;
}

bool DraftOutput::Finish() {
    if (output.Finish()) return true;
    errno = output.Error();
    return false;
}
