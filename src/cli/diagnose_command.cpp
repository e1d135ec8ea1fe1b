#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_output.h"
#include "cli/commands.h"
#include "cli/diagnose_sink.h"
#include "cli/message_input.h"
#include "cli/parallel_sink.h"

namespace {

struct DiagnoseOptions {
    FramingOptions framing;
    bool json = false;
    bool noMask = false;
    bool strict = false;
    bool allowTrailing = false;
    int jobs = 1;
    std::string writeDefinition;  // where the first reading goes, applied; none when empty
    std::string definition;
    std::vector<std::string> inputs;
};

std::unique_ptr<DiagnoseReport> MakeReport(const DiagnoseOptions& options, ReportOutput& output) {
    if (options.json) return std::make_unique<DiagnoseJsonReport>(output);
    return std::make_unique<DiagnoseTextReport>(output);
}

InspectOptions InspectionOf(const DiagnoseOptions& options) {
    InspectOptions inspect;
    inspect.mask = !options.noMask;
    return inspect;
}

// The reading's header and change as the definition's own lines: OPTION= HEADER, the
// encoding (a change of LEN_Enc with the prefix sizes it recomputes), or OPTION= EMPTY_FIELDS.
void ApplyReading(const Reading& reading, ProtocolDef& def) {
    // The reading was judged with its header: a header the command line set aside (none
    // included, over a definition that has one) stands in the file too.
    def.options.header = reading.header;
    if (reading.change) ApplyChange(*reading.change, def);
}

int NoMemory(const DiagnoseOptions& options) {
    std::fprintf(stderr, "%s: cannot diagnose: %s\n", options.definition.c_str(),
                 ErrorText(ENOMEM).c_str());
    return kExitUsage;
}

// A diagnoser of its own for one worker thread, its report kept in memory for the block.
class DiagnoseWorker : public BlockChecker {
  public:
    DiagnoseWorker(const DiagnoseOptions& options, const ProtocolDef& def)
        : report(MakeReport(options, output)),
          sink(def, InspectionOf(options), options.framing.header, *report, output) {
        sink.SetStrict(options.strict, options.allowTrailing);
    }

    bool Ready() const { return sink.Ready(); }
    void Check(MessageBlock& block) override { CheckBlock(sink, output, block); }

  private:
    ReportOutput output{nullptr};
    std::unique_ptr<DiagnoseReport> report;
    DiagnoseSink sink;
};

int DiagnoseInParallel(const DiagnoseOptions& options, const ProtocolDef& def,
                       DiagnoseReport& report, ReportOutput& output, int threads) {
    std::vector<std::unique_ptr<BlockChecker>> workers;
    for (int i = 0; i < threads; ++i) {
        auto worker = std::make_unique<DiagnoseWorker>(options, def);
        if (!worker->Ready()) return NoMemory(options);
        workers.push_back(std::move(worker));
    }
    ParallelSink sink(std::move(workers), output, nullptr, MessageBlock::kReportMessages);
    const bool inputsRead = ReadInputs(sink, options.inputs, options.framing, output);
    const bool drained = sink.Drain();
    report.Finish(sink.Counts());
    const bool written = output.Flush() && drained;
    return RunStatus("diagnose", written, inputsRead, sink.Counts(), output);
}

int RunDiagnose(const DiagnoseOptions& given) {
    DiagnoseOptions options = given;
    // As for check: a reader that went away ends the run quietly.
    std::signal(SIGPIPE, SIG_DFL);
    ProtocolDef& def = TheProtocol();
    if (!ReadDefinition(options.definition, def)) return kExitUsage;
    // The definition's own header stands unless --header says otherwise.
    if (options.framing.header < 0) options.framing.header = def.options.header;
    ReportOutput output(stdout);
    const std::unique_ptr<DiagnoseReport> report = MakeReport(options, output);
    // The first reading is the first message's with a reading: one sink sees them in order.
    const int threads = options.writeDefinition.empty() ? ThreadsFor(options.jobs) : 1;
    if (threads > 1) return DiagnoseInParallel(options, def, *report, output, threads);
    DiagnoseSink sink(def, InspectionOf(options), options.framing.header, *report, output);
    if (!sink.Ready()) return NoMemory(options);
    sink.SetStrict(options.strict, options.allowTrailing);
    const bool inputsRead = ReadInputs(sink, options.inputs, options.framing, output);
    const bool written = sink.Finish();
    const int status = RunStatus("diagnose", written, inputsRead, sink.Counts(), output);
    if (options.writeDefinition.empty()) return status;
    if (!sink.FirstReading()) {
        std::fprintf(stderr, "%s: not written: no message has a reading\n",
                     options.writeDefinition.c_str());
        return kExitUsage;
    }
    ApplyReading(*sink.FirstReading(), def);
    return DeliverDefinition(&options.writeDefinition, def, status);
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
    CLI::Option* strict = command->add_flag(
        "--strict", options->strict,
        "Fail a message that passes for the findings check --strict fails it for");
    command
        ->add_flag("--allow-trailing", options->allowTrailing,
                   "Under --strict, units after the last field fail no message")
        ->needs(strict);
    command->add_option("--write-definition", options->writeDefinition,
                        "Write the definition with the first reading of the first message that "
                        "has one applied to FILE (.pro); the messages are then diagnosed in "
                        "order, on one thread");
    AddJobsOption(*command, options->jobs);
    command->add_option("definition", options->definition, "Protocol definition (.pro)")
        ->required();
    command->add_option("inputs", options->inputs, "Message files; standard input when none or -");
    command->footer(kExitStatusRule);
    command->callback([options, &status] { status = RunDiagnose(*options); });
}
