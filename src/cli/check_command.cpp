#include "cli/commands.h"

void AddCheckCommand(CLI::App& app, int& status) {
    (void)app;
    (void)status;
}
