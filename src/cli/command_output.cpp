#include "cli/command_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "model/pro_file.h"

int DeliverOutput(const std::string* path, const SaveWriter& write, int status) {
    // An output that cannot be written exits 2 like an unreadable input: 1 would tell a script
    // that the input had a fault.
    if (path != nullptr) {
        std::string error;
        if (SaveFile(*path, write, error)) return status;
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    errno = 0;
    if (write(stdout) && std::fflush(stdout) == 0) return status;
    const int e = errno;
    std::fprintf(stderr, "standard output: cannot write: %s\n",
                 e != 0 ? std::strerror(e) : "write error");
    return kExitUsage;
}

int DeliverDefinition(const std::string* path, const ProtocolDef& def, int status) {
    if (path != nullptr) {
        std::string error;
        if (SaveProtocolFile(*path, def, error)) return status;
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUsage;
    }
    return DeliverOutput(
        nullptr, [&def](std::FILE* stream) { return WriteProtocolLines(stream, def); }, status);
}
