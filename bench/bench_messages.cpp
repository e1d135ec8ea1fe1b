// Writes the benchmark's protocol definition, or a stream of messages in hexadecimal, one per
// line, for `iso8583 check --hex`: the typical authorisation request, the acquirer corpus of
// the text or the EBCDIC dialect, or the random-fields corpus, over and over.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "acquirer_corpus.h"
#include "model/pro_file.h"
#include "random_fields_corpus.h"
#include "support/text.h"
#include "typical_message.h"

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: bench_messages --pro FILE [DIALECT] | --hex COUNT [DIALECT] | --stats DIALECT\n"
        "DIALECT: typical (the default), text, ebcdic or random\n");
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

std::string HexLine(const std::string& units) {
    std::string line(2 * units.size() + 1, '\n');
    EncodeHex(static_cast<int>(units.size()), static_cast<int>(line.size()), line.data(),
              reinterpret_cast<const std::uint8_t*>(units.data()));
    line.back() = '\n';
    return line;
}

int WriteCorpusHex(long count, const std::vector<std::string>& corpus) {
    std::vector<std::string> lines;
    for (const std::string& units : corpus)
        lines.push_back(HexLine(units));
    std::string block;
    block.reserve(1 << 20);
    for (long i = 0; i < count; ++i) {
        block += lines[static_cast<std::size_t>(i) % lines.size()];
        if (block.size() >= (1 << 20) - 4096) {
            if (std::fwrite(block.data(), 1, block.size(), stdout) != block.size()) return 1;
            block.clear();
        }
    }
    std::fwrite(block.data(), 1, block.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int WriteStats(const std::vector<std::string>& corpus) {
    std::size_t units = 0;
    for (const std::string& message : corpus)
        units += message.size();
    std::printf("%zu messages, %.1f units on average\n", corpus.size(),
                static_cast<double>(units) / static_cast<double>(corpus.size()));
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
    if (argc != 3 && argc != 4) return Usage();
    const bool stats = std::strcmp(argv[1], "--stats") == 0;
    const std::string dialect = stats ? argv[2] : argc == 4 ? argv[3] : "typical";
    auto def = std::make_unique<ProtocolDef>();
    if (dialect == "typical") {
        DefineDialect(*def, Dialect::kBinary);
        std::strcpy(def->name, "Benchmark binary dialect");
    } else if (dialect == "text" || dialect == "ebcdic") {
        DefineAcquirer(*def, dialect == "text" ? CorpusDialect::kText : CorpusDialect::kEbcdic);
    } else if (dialect == "random") {
        DefineRandomFields(*def);
    } else {
        return Usage();
    }
    const bool typical = dialect == "typical";
    if (std::strcmp(argv[1], "--pro") == 0) return WritePro(argv[2], *def);
    if (typical && (stats || std::strcmp(argv[1], "--hex") != 0)) return Usage();
    if (typical) return WriteHex(std::atol(argv[2]), *def);
    const std::vector<std::string> corpus =
        dialect == "random" ? RandomFieldsCorpus(*def) : AcquirerCorpus(*def);
    if (stats) return WriteStats(corpus);
    if (std::strcmp(argv[1], "--hex") != 0) return Usage();
    return WriteCorpusHex(std::atol(argv[2]), corpus);
}
