#include "interop/interop.h"

namespace {

struct Named {
    ForeignFormat format;
    const char* name;
};
constexpr Named kNames[] = {{ForeignFormat::kJpos, "jpos"},
                            {ForeignFormat::kMoov, "moov"},
                            {ForeignFormat::kPyiso8583, "pyiso8583"}};

std::string_view SkipBlanks(std::string_view text) noexcept {
    // A byte order mark, then white space.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    return text;
}

}  // namespace

ForeignFormat ForeignFormatFromName(std::string_view name) noexcept {
    for (const Named& n : kNames) {
        if (name == n.name) return n.format;
    }
    return ForeignFormat::kUnknown;
}

const char* NameOf(ForeignFormat format) noexcept {
    for (const Named& n : kNames) {
        if (n.format == format) return n.name;
    }
    return "unknown";
}

ForeignFormat RecogniseFormat(std::string_view text) noexcept {
    text = SkipBlanks(text);
    if (text.starts_with("<")) return ForeignFormat::kJpos;
    if (!text.starts_with("{")) return ForeignFormat::kUnknown;
    // A moov field list keeps its fields under "fields"; a pyiso8583 dictionary is keyed by the
    // field numbers themselves, with "t" and "p" for the type and the bitmap.
    if (text.find("\"fields\"") != std::string_view::npos) return ForeignFormat::kMoov;
    if (text.find("\"data_enc\"") != std::string_view::npos ||
        text.find("\"len_type\"") != std::string_view::npos) {
        return ForeignFormat::kPyiso8583;
    }
    return ForeignFormat::kUnknown;
}

bool ImportDefinition(ForeignFormat format, std::string_view text, ProtocolDef& def,
                      InteropNotes& notes, std::string& error) {
    switch (format) {
        case ForeignFormat::kJpos:
            return ImportJpos(text, def, notes, error);
        case ForeignFormat::kMoov:
            return ImportMoov(text, def, notes, error);
        case ForeignFormat::kPyiso8583:
            return ImportPyiso8583(text, def, notes, error);
        default:
            error = "not a jPOS packager, a moov field list or a pyiso8583 field dictionary";
            return false;
    }
}

void ExportDefinition(ForeignFormat format, const ProtocolDef& def, std::string& out,
                      InteropNotes& notes) {
    switch (format) {
        case ForeignFormat::kJpos:
            return ExportJpos(def, out, notes);
        case ForeignFormat::kMoov:
            return ExportMoov(def, out, notes);
        case ForeignFormat::kPyiso8583:
            return ExportPyiso8583(def, out, notes);
        default:
            return;
    }
}
