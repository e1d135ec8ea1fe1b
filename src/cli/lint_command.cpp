#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "model/pro_file.h"

namespace {

int RunLint(const std::string& path) {
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    ProFindings findings;
    if (!LoadProtocolFile(path, *def, error, &findings)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    std::string report;
    for (const ProFinding& finding : findings)
        report += path + ":" + std::to_string(finding.line) + ": " + finding.text + "\n";
    errno = 0;
    if (std::fputs(report.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        const int e = errno;
        std::fprintf(stderr, "standard output: cannot write: %s\n",
                     e != 0 ? std::strerror(e) : "write error");
        return kExitUsage;
    }
    return findings.empty() ? kExitOk : kExitFailed;
}

}  // namespace

void AddLintCommand(CLI::App& app, int& status) {
    auto path = std::make_shared<std::string>();
    CLI::App* lint = app.add_subcommand(
        "lint",
        "Say what the reader of a protocol definition (.pro) skips, cuts or replaces, and what "
        "its lines contradict: one line per finding, FILE:LINE: text.");
    lint->add_option("FILE.pro", *path, "Protocol definition to read")->required();
    lint->footer(
        "Exit status: 0 when there is nothing to say, 1 when there is, 2 when the file cannot "
        "be read or the findings cannot be written.");
    lint->callback([path, &status] { status = RunLint(*path); });
}
