#include "cli/commands.h"

void AddFormatCommand(CLI::App& app, int& status) {
    (void)app;
    (void)status;
}
