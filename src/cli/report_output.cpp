#include "cli/report_output.h"

#include <cerrno>

#include "cli/report_text.h"

ReportOutput::ReportOutput(std::FILE* out) : stream(out) {
    text.reserve(kFlushAt + 4096);
}

void ReportOutput::Append(long number) {
    AppendNumber(text, number);
}

bool ReportOutput::Flush() {
    if (stream == nullptr) return true;
    if (!failed) {
        errno = 0;
        if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
            failed = true;
        }
        if (!failed && (std::fflush(stream) != 0 || std::ferror(stream))) failed = true;
        if (failed) error = errno != 0 ? errno : EIO;
    }
    text.clear();
    return !failed;
}
