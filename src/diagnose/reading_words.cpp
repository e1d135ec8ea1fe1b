#include "diagnose/reading_words.h"

namespace {

// The only verdict that quotes the message: the MTI that has no message definition.
constexpr std::string_view kUnknownMessage = "Unknown message ";

std::string Quoted(std::string_view bytes, MessageBytesShown shown) {
    return shown != nullptr ? shown(bytes) : std::string(bytes);
}

std::string VerdictWords(std::string_view verdict, MessageBytesShown shown) {
    if (verdict.substr(0, kUnknownMessage.size()) != kUnknownMessage) return std::string(verdict);
    return std::string(kUnknownMessage) + Quoted(verdict.substr(kUnknownMessage.size()), shown);
}

std::string Outcome(const Reading& reading, MessageBytesShown shown) {
    const std::string mti = Quoted(reading.mti, shown);
    std::string text = reading.ok ? "passes as " + mti
                                  : "decodes exactly as " + mti + " with the verdict \"" +
                                        VerdictWords(reading.verdict, shown) + "\"";
    if (reading.warnings > 0) {
        text += " (" + std::to_string(reading.warnings) +
                (reading.warnings == 1 ? " warning)" : " warnings)");
    }
    return text;
}

}  // namespace

std::string ChangeWords(const EncodingChange& change) {
    if (change.emptyFields) return "allowing empty fields (OPTION= EMPTY_FIELDS; Y)";
    const std::string key = KeyOf(change.role);
    const std::string value = NameOf(change.value);
    if (change.field == 0) return key + "=" + value;
    const std::string n = std::to_string(change.field);
    return "field " + n + " " + key + "=" + value + " (FIELD_OPTION= " + n + "; " + key + "; " +
           value + ")";
}

namespace {

// " with prefix sizes 2 → 4 for fields 2, 32, 35 and 3 → 6 for field 48": each change of size
// in the order its first field comes.
std::string PrefixSizeWords(const std::vector<PrefixSize>& sizes) {
    if (sizes.empty()) return {};
    std::string text = " with prefix sizes ";
    std::vector<bool> said(sizes.size(), false);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (said[i]) continue;
        std::vector<int> fields;
        for (std::size_t j = i; j < sizes.size(); ++j) {
            if (sizes[j].from != sizes[i].from || sizes[j].to != sizes[i].to) continue;
            said[j] = true;
            fields.push_back(sizes[j].field);
        }
        if (i > 0) text += " and ";
        text += std::to_string(sizes[i].from) + " \u2192 " + std::to_string(sizes[i].to) +
                (fields.size() == 1 ? " for field " : " for fields ");
        for (std::size_t k = 0; k < fields.size(); ++k)
            text += (k > 0 ? ", " : "") + std::to_string(fields[k]);
    }
    return text;
}

std::string ChangeWords(const Reading& reading) {
    return ChangeWords(*reading.change) + PrefixSizeWords(reading.prefixSizes);
}

}  // namespace

std::string ReadingWords(const Reading& reading, MessageBytesShown messageBytes) {
    if (!reading.headerChanged) {
        if (!reading.change) return Outcome(reading, messageBytes);
        return ChangeWords(reading) + ": " + Outcome(reading, messageBytes);
    }
    std::string text = "a header of " + std::to_string(reading.header) +
                       (reading.header == 1 ? " unit (" : " units (") + reading.headerHex + ")";
    if (reading.change) text += " and " + ChangeWords(reading);
    return text + ", then " + Outcome(reading, messageBytes);
}
