// Writes the benchmark's protocol definition, or a stream of typical authorisation requests
// in hexadecimal, one per line, for `iso8583 check --hex`.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "model/pro_file.h"
#include "support/text.h"
#include "typical_message.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: bench_messages --pro FILE | --hex COUNT\n");
    return 2;
}

int WritePro(const char* path, const ProtocolDef& def) {
    std::FILE* stream = std::fopen(path, "w");
    if (stream == nullptr || !WriteProtocolFile(stream, def)) {
        std::perror(path);
        return 1;
    }
    return 0;
}

// Each line differs in its trace number, so that no two messages are the same.
int WriteHex(long count, const ProtocolDef& def) {
    const BuiltMessage message = TypicalRequest(def);
    std::string line(2 * message.units.size() + 1, '\n');
    EncodeHex(static_cast<int>(message.units.size()), static_cast<int>(line.size()), line.data(),
              reinterpret_cast<const std::uint8_t*>(message.units.data()));
    line.back() = '\n';
    char* stan = line.data() + 2 * message.stanOffset;  // packed: its hex is its 6 digits
    std::string block;
    block.reserve(1 << 20);
    for (long i = 0; i < count; ++i) {
        long k = i % 1000000;
        for (int p = 5; p >= 0; --p, k /= 10)
            stan[p] = static_cast<char>('0' + k % 10);
        block += line;
        if (block.size() >= (1 << 20) - line.size()) {
            if (std::fwrite(block.data(), 1, block.size(), stdout) != block.size()) return 1;
            block.clear();
        }
    }
    std::fwrite(block.data(), 1, block.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Usage();
    auto def = std::make_unique<ProtocolDef>();
    DefineDialect(*def, Dialect::kBinary);
    std::strcpy(def->name, "Benchmark binary dialect");
    if (std::strcmp(argv[1], "--pro") == 0) return WritePro(argv[2], *def);
    if (std::strcmp(argv[1], "--hex") == 0) return WriteHex(std::atol(argv[2]), *def);
    return Usage();
}
