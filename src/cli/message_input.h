// What `check`, `diagnose` and any command that reads messages share: the framing options,
// reading an input through them, and loading the definition.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "input/message_sink.h"
#include "model/protocol.h"

struct FramingOptions {
    bool hex = false;
    bool raw = false;
    bool dump = false;
    std::string stream;  // a length prefix format, when framed as a stream
    int header = -1;     // units set aside before decoding; none when negative
};

// --hex, --raw, --dump, --stream and --header, stored in options.
void AddFramingOptions(CLI::App& command, FramingOptions& options);

// Reads one input ("-": standard input) through the framing into sink. False when it could
// not be opened or read (already reported).
bool ReadInput(MessageSink& sink, const std::string& name, const FramingOptions& options);

// Reads each input in turn (standard input when there is none) into sink, until output has
// failed. False when one could not be opened or read (already reported).
bool ReadInputs(MessageSink& sink, const std::vector<std::string>& names,
                const FramingOptions& options, const ReportOutput& output);

// The exit status of a run of command over messages: written says whether the whole report
// could be written (reported here when not), inputsRead whether every input could be read.
int RunStatus(const char* command, bool written, bool inputsRead, const CheckCounts& counts,
              const ReportOutput& output);

// False when the definition could not be loaded (already reported).
bool ReadDefinition(const std::string& path, ProtocolDef& def);

// The error number's text, "unknown error" for 0.
std::string ErrorText(int error);
