#include "cli/message_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/commands.h"
#include "input/input_dump.h"
#include "input/input_lines.h"
#include "input/input_raw.h"
#include "input/input_stream.h"
#include "model/pro_file.h"

namespace {

enum class Framing { kLines, kHex, kRaw, kDump, kStream };

void ReportFileError(const std::string& name, const char* what, int error) {
    std::fprintf(stderr, "%s: %s: %s\n", name.c_str(), what, ErrorText(error).c_str());
}

Framing FramingOf(const FramingOptions& options) {
    if (options.hex) return Framing::kHex;
    if (options.raw) return Framing::kRaw;
    if (options.dump) return Framing::kDump;
    if (!options.stream.empty()) return Framing::kStream;
    return Framing::kLines;
}

int ReadFramed(MessageSink& sink, std::FILE* stream, const FramingOptions& options) {
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

}  // namespace

std::string ErrorText(int error) {
    return error != 0 ? std::strerror(error) : "unknown error";
}

void AddFramingOptions(CLI::App& command, FramingOptions& options) {
    CLI::Option* hex =
        command.add_flag("--hex", options.hex, "Each line is one message in hexadecimal digits");
    CLI::Option* raw =
        command.add_flag("--raw", options.raw, "Each input file is one message, byte for byte");
    CLI::Option* dump = command.add_flag(
        "--dump", options.dump,
        "Messages written as hexdumps (xxd, hexdump -C, od, jPOS, Wireshark), byte literals or "
        "hexadecimal digits; an empty line or an offset back to 0 ends one");
    CLI::Option* stream =
        command
            .add_option("--stream", options.stream,
                        "Each input is a stream of messages, each after its length: len2 or len4 "
                        "(big-endian bytes) or ascii4 (decimal digits)")
            ->check(CLI::IsMember({"len2", "len4", "ascii4"}));
    hex->excludes(raw, dump, stream);
    raw->excludes(dump, stream);
    dump->excludes(stream);
    command
        .add_option("--header", options.header,
                    "Set aside the first N units of every message (a TPDU, an ISO header) "
                    "before decoding")
        ->check(CLI::Range(0, 32767));
}

bool ReadInput(MessageSink& sink, const std::string& name, const FramingOptions& options) {
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

bool ReadInputs(MessageSink& sink, const std::vector<std::string>& names,
                const FramingOptions& options, const ReportOutput& output) {
    bool inputsRead = true;
    const std::vector<std::string> standardInput = {"-"};
    for (const std::string& name : names.empty() ? standardInput : names) {
        inputsRead = ReadInput(sink, name, options) && inputsRead;
        if (output.Failed()) break;
    }
    return inputsRead;
}

int RunStatus(const char* command, bool written, bool inputsRead, const CheckCounts& counts,
              const ReportOutput& output) {
    if (!written) {
        std::fprintf(stderr, "iso8583 %s: cannot write the report: %s\n", command,
                     ErrorText(output.Error()).c_str());
        return kExitUsage;
    }
    if (!inputsRead) return kExitUsage;
    return counts.failed > 0 ? kExitFailed : kExitOk;
}

bool ReadDefinition(const std::string& path, ProtocolDef& def) {
    std::string error;
    if (LoadProtocolFile(path, def, error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}
