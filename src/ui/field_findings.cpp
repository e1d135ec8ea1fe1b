#include "ui/field_findings.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "model/pro_settings.h"
#include "model/pro_subfields.h"
#include "model/pro_text.h"

namespace {

constexpr const char* kFieldKeys[] = {
    "FIELD=", "FIELD_OPTION=", "STRUCTURE=", "SUBFIELD=", "SUBFIELD_OPTION="};

// The field a definition line is about, or 0: its key is one of the field's, and its value
// begins with the field number, alone or as the head of a path.
int FieldOfLine(const std::string& line) {
    for (const char* key : kFieldKeys) {
        const std::string k = key;
        if (line.compare(0, k.size(), k) != 0) continue;
        const char* value = line.c_str() + k.size();
        char* end = nullptr;
        const long n = std::strtol(value, &end, 10);
        if (end == value || (*end != ';' && *end != '.' && *end != ' ')) return 0;
        return n >= kFirstDataElement && n <= kLastField ? static_cast<int>(n) : 0;
    }
    return 0;
}

const char* HoldsName(SubfieldHolds holds) {
    switch (holds) {
        case SubfieldHolds::kCardNumber:
            return "card numbers";
        case SubfieldHolds::kTrackData:
            return "track data";
        case SubfieldHolds::kSecret:
            return "secret data";
        default:
            return nullptr;
    }
}

const char* LayoutName(SubfieldLayout layout) {
    switch (layout) {
        case SubfieldLayout::kPositional:
            return "positional subfields";
        case SubfieldLayout::kTagged:
            return "tagged subfields";
        case SubfieldLayout::kBitmap:
            return "bitmapped subfields";
        case SubfieldLayout::kBerTlv:
            return "BER-TLV data objects";
        default:
            return nullptr;
    }
}

void CollectHolds(const SubfieldNode& node, std::vector<std::string>& marks) {
    for (const SubfieldNode& child : node.children) {
        if (const char* name = HoldsName(child.def.holds)) {
            bool seen = false;
            for (const std::string& m : marks)
                seen = seen || m == name;
            if (!seen) marks.emplace_back(name);
        }
        CollectHolds(child, marks);
    }
}

}  // namespace

bool ReadDefinitionText(const std::string& text, ProtocolDef& def, ProFindings* findings) {
    std::FILE* memory = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (memory == nullptr) return false;
    ReadProtocolStream(memory, def, findings);
    std::fclose(memory);
    return true;
}

std::vector<std::string> FieldLintFindings(const ProtocolDef& def, int n) {
    std::string text;
    if (!FormatProtocolText(def, text)) return {};
    auto scratch = std::make_unique<ProtocolDef>();
    ProFindings findings;
    if (!ReadDefinitionText(text, *scratch, &findings)) return {};
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::vector<std::string> mine;
    for (const ProFinding& finding : findings) {
        const auto at = static_cast<std::size_t>(finding.line - 1);
        if (at < lines.size() && FieldOfLine(lines[at]) == n) mine.push_back(finding.text);
    }
    return mine;
}

std::string OwnSettingsSummary(const ProtocolDef& def, int n) {
    if (n < kFirstDataElement || n > kLastField) return {};
    std::vector<std::string> parts;
    if (HasFieldSettings(def, n)) {
        // The settings as the file writes them, "NAME VALUE" each.
        char* buffer = nullptr;
        std::size_t size = 0;
        if (std::FILE* memory = open_memstream(&buffer, &size)) {
            WriteFieldSettings(memory, "", def.settings[n]);
            std::fclose(memory);
            std::istringstream in(std::string(buffer, size));
            for (std::string line; std::getline(in, line);) {
                // "; NAME; VALUE" after the empty lead.
                std::string item;
                for (char c : line) {
                    if (c == ';') {
                        if (!item.empty()) item += ' ';
                    } else if (c != ' ' || (!item.empty() && item.back() != ' ')) {
                        item += c;
                    }
                }
                while (!item.empty() && item.back() == ' ')
                    item.pop_back();
                if (!item.empty()) parts.push_back(item);
            }
        }
        std::free(buffer);
    }
    if (const SubfieldNode* node = def.subfields.Field(n)) {
        if (const char* layout = LayoutName(node->structure.layout)) parts.emplace_back(layout);
        std::vector<std::string> marks;
        CollectHolds(*node, marks);
        for (const std::string& m : marks)
            parts.push_back("holds " + m);
    }
    if (parts.empty()) return {};
    std::string summary = "Settings of its own: ";
    for (std::size_t i = 0; i < parts.size(); ++i)
        summary += (i == 0 ? "" : ", ") + parts[i];
    return summary;
}
