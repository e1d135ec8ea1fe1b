#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/checker.h"
#include "cli/commands.h"
#include "cli/input_dump.h"
#include "cli/input_lines.h"
#include "cli/input_raw.h"
#include "cli/input_stream.h"
#include "cli/report_json.h"
#include "cli/report_rows.h"
#include "cli/report_summary.h"
#include "inspect/field_inspection.h"
#include "model/pro_file.h"
#include "model/protocol.h"

namespace {

enum class Framing { kLines, kHex, kRaw, kDump, kStream };

struct CheckOptions {
    bool hex = false;
    bool raw = false;
    bool dump = false;
    std::string stream;  // a length prefix format, when framed as a stream
    int header = -1;
    bool json = false;
    bool summary = false;
    bool noMask = false;
    std::vector<int> tlvFields;
    std::vector<int> maskFields;
    std::string definition;
    std::vector<std::string> inputs;
};

std::string Reason(int error) {
    return error != 0 ? std::strerror(error) : "unknown error";
}

void ReportFileError(const std::string& name, const char* what, int error) {
    std::fprintf(stderr, "%s: %s: %s\n", name.c_str(), what, Reason(error).c_str());
}

Framing FramingOf(const CheckOptions& options) {
    if (options.hex) return Framing::kHex;
    if (options.raw) return Framing::kRaw;
    if (options.dump) return Framing::kDump;
    if (!options.stream.empty()) return Framing::kStream;
    return Framing::kLines;
}

int ReadFramed(MessageSink& sink, std::FILE* stream, const CheckOptions& options) {
    switch (FramingOf(options)) {
        case Framing::kRaw:
            return ReadRaw(sink, stream);
        case Framing::kHex:
            return ReadHexLines(sink, stream);
        case Framing::kDump:
            return ReadDump(sink, stream);
        case Framing::kStream:
            return ReadStream(sink, stream, *StreamFormatNamed(options.stream));
        case Framing::kLines:
            break;
    }
    return ReadLines(sink, stream);
}

// False when the input could not be opened or read (already reported).
bool CheckInput(MessageSink& sink, const std::string& name, const CheckOptions& options) {
    const bool standardInput = name == "-";
    std::error_code ignored;
    if (!standardInput && std::filesystem::is_directory(name, ignored)) {
        ReportFileError(name, "cannot open", EISDIR);
        return false;
    }
    std::FILE* stream = standardInput ? stdin : std::fopen(name.c_str(), "rb");
    if (stream == nullptr) {
        ReportFileError(name, "cannot open", errno);
        return false;
    }
    errno = 0;
    const int error = ReadFramed(sink, stream, options);
    if (!standardInput) std::fclose(stream);
    if (error != 0) ReportFileError(standardInput ? "standard input" : name, "cannot read", error);
    return error == 0;
}

bool ReadDefinition(const std::string& path, ProtocolDef& def) {
    std::string error;
    if (LoadProtocolFile(path, def, error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

std::unique_ptr<ReportWriter> MakeReport(const CheckOptions& options, const ProtocolDef& def,
                                         ReportOutput& output) {
    if (options.json) return std::make_unique<JsonReport>(def, output);
    if (options.summary) return std::make_unique<SummaryReport>(output);
    return std::make_unique<RowsReport>(def, output);
}

InspectOptions InspectionOf(const CheckOptions& options) {
    InspectOptions inspect;
    inspect.mask = !options.noMask;
    for (int n : options.tlvFields)
        SetBit(inspect.tlvFields, n);
    for (int n : options.maskFields)
        SetBit(inspect.maskFields, n);
    return inspect;
}

int RunCheck(const CheckOptions& options) {
    // A reader that went away (`check ... | head`) ends the run quietly, as for any filter,
    // whatever the parent left the signal at.
    std::signal(SIGPIPE, SIG_DFL);
    ProtocolDef& def = TheProtocol();
    if (!ReadDefinition(options.definition, def)) return kExitUsage;
    ReportOutput output(stdout);
    const std::unique_ptr<ReportWriter> report = MakeReport(options, def, output);
    Checker checker(def, *report, output);
    checker.SetHeader(options.header);
    checker.SetInspection(InspectionOf(options));
    bool inputsRead = true;
    const std::vector<std::string> standardInput = {"-"};
    for (const std::string& name : options.inputs.empty() ? standardInput : options.inputs) {
        inputsRead = CheckInput(checker, name, options) && inputsRead;
        if (output.Failed()) break;
    }
    if (!checker.Finish()) {
        std::fprintf(stderr, "iso8583 check: cannot write the report: %s\n",
                     Reason(output.Error()).c_str());
        return kExitUsage;
    }
    if (!inputsRead) return kExitUsage;
    return checker.Counts().failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Decode messages and check each against the protocol definition.");
    CLI::Option* hex =
        command->add_flag("--hex", options->hex, "Each line is one message in hexadecimal digits");
    CLI::Option* raw =
        command->add_flag("--raw", options->raw, "Each input file is one message, byte for byte");
    CLI::Option* dump = command->add_flag(
        "--dump", options->dump,
        "Messages written as hexdumps (xxd, hexdump -C, od, jPOS, Wireshark), byte literals or "
        "hexadecimal digits; an empty line or an offset back to 0 ends one");
    CLI::Option* stream =
        command
            ->add_option("--stream", options->stream,
                         "Each input is a stream of messages, each after its length: len2 or len4 "
                         "(big-endian bytes) or ascii4 (decimal digits)")
            ->check(CLI::IsMember({"len2", "len4", "ascii4"}));
    hex->excludes(raw, dump, stream);
    raw->excludes(dump, stream);
    dump->excludes(stream);
    command
        ->add_option("--header", options->header,
                     "Set aside the first N units of every message (a TPDU, an ISO header) "
                     "before decoding")
        ->check(CLI::Range(0, 32767));
    CLI::Option* json =
        command->add_flag("--json", options->json, "One JSON object per message (JSON Lines)");
    CLI::Option* summary = command->add_flag(
        "--summary", options->summary, "Only the counts: messages, passed, failed, by verdict");
    json->excludes(summary);
    command->add_flag("--no-mask", options->noMask,
                      "Show card numbers, track data and PIN data as they are; masked by default");
    command
        ->add_option("--tlv-field", options->tlvFields,
                     "Also read field N as EMV BER-TLV data objects (repeatable)")
        ->check(CLI::Range(kFirstDataElement, kLastField))
        ->allow_extra_args(false);
    command->add_option("--mask-field", options->maskFields, "Also mask field N whole (repeatable)")
        ->check(CLI::Range(kFirstDataElement, kLastField))
        ->allow_extra_args(false);
    command->add_option("definition", options->definition, "Protocol definition (.pro)")
        ->required();
    command->add_option("inputs", options->inputs, "Message files; standard input when none or -");
    command->footer(kExitStatusRule);
    command->callback([options, &status] { status = RunCheck(*options); });
}
