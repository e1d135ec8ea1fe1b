#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/diagnose_sink.h"
#include "cli/message_input.h"

namespace {

struct DiagnoseOptions {
    FramingOptions framing;
    bool json = false;
    bool noMask = false;
    std::string definition;
    std::vector<std::string> inputs;
};

std::unique_ptr<DiagnoseReport> MakeReport(const DiagnoseOptions& options, ReportOutput& output) {
    if (options.json) return std::make_unique<DiagnoseJsonReport>(output);
    return std::make_unique<DiagnoseTextReport>(output);
}

int RunDiagnose(const DiagnoseOptions& options) {
    // As for check: a reader that went away ends the run quietly.
    std::signal(SIGPIPE, SIG_DFL);
    ProtocolDef& def = TheProtocol();
    if (!ReadDefinition(options.definition, def)) return kExitUsage;
    ReportOutput output(stdout);
    const std::unique_ptr<DiagnoseReport> report = MakeReport(options, output);
    InspectOptions inspect;
    inspect.mask = !options.noMask;
    DiagnoseSink sink(def, inspect, options.framing.header, *report, output);
    if (!sink.Ready()) {
        std::fprintf(stderr, "%s: cannot diagnose: %s\n", options.definition.c_str(),
                     ErrorText(ENOMEM).c_str());
        return kExitUsage;
    }
    bool inputsRead = true;
    const std::vector<std::string> standardInput = {"-"};
    for (const std::string& name : options.inputs.empty() ? standardInput : options.inputs) {
        inputsRead = ReadInput(sink, name, options.framing) && inputsRead;
        if (output.Failed()) break;
    }
    if (!sink.Finish()) {
        std::fprintf(stderr, "iso8583 diagnose: cannot write the report: %s\n",
                     ErrorText(output.Error()).c_str());
        return kExitUsage;
    }
    if (!inputsRead) return kExitUsage;
    return sink.Counts().failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace

void AddDiagnoseCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<DiagnoseOptions>();
    CLI::App* command = app.add_subcommand(
        "diagnose",
        "Show where every unit of each message went, why its decode stopped, and which single "
        "change makes it decode exactly.");
    AddFramingOptions(*command, options->framing);
    command->add_flag("--json", options->json, "One JSON object per message (JSON Lines)");
    command->add_flag("--no-mask", options->noMask,
                      "Show card numbers, track data and PIN blocks in full");
    command->add_option("definition", options->definition, "Protocol definition (.pro)")
        ->required();
    command->add_option("inputs", options->inputs, "Message files; standard input when none or -");
    command->footer(kExitStatusRule);
    command->callback([options, &status] { status = RunDiagnose(*options); });
}
