#include "ui/definition_lines.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "model/pro_file.h"
#include "model/protocol.h"

namespace {

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool IsDefinitionLine(const char* line) {
    while (*line == ' ' || (*line >= '\t' && *line <= '\r'))
        ++line;
    if (StartsWith(line, "NAME=") || StartsWith(line, "FIELD=") || StartsWith(line, "MSG="))
        return true;
    for (int role = 0; role < kEncodingRoleCount; ++role) {
        const std::string key = std::string(KeyOf(static_cast<EncodingRole>(role))) + '=';
        if (StartsWith(line, key.c_str())) return true;
    }
    return false;
}

}  // namespace

bool HoldsDefinitionLines(const std::string& path) {
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) return false;
    // The reader's own line buffer: a longer line is read as several.
    char line[1024];
    long read = 0;
    bool found = false;
    while (!found && read <= kProtocolFileMax && std::fgets(line, sizeof line, stream) != nullptr) {
        read += static_cast<long>(std::strlen(line));
        found = IsDefinitionLine(line);
    }
    std::fclose(stream);
    return found;
}
