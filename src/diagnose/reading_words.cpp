#include "diagnose/reading_words.h"

namespace {

std::string Outcome(const Reading& reading) {
    std::string text = reading.ok ? std::string("passes as ") + reading.mti
                                  : "decodes exactly as " + std::string(reading.mti) +
                                        " with the verdict \"" + reading.verdict + "\"";
    if (reading.warnings > 0) {
        text += " (" + std::to_string(reading.warnings) +
                (reading.warnings == 1 ? " warning)" : " warnings)");
    }
    return text;
}

}  // namespace

std::string ChangeWords(const EncodingChange& change) {
    return std::string(KeyOf(change.role)) + "=" + NameOf(change.value);
}

std::string ReadingWords(const Reading& reading) {
    if (!reading.headerChanged) {
        if (!reading.change) return Outcome(reading);
        return ChangeWords(*reading.change) + ": " + Outcome(reading);
    }
    std::string text = "a header of " + std::to_string(reading.header) +
                       (reading.header == 1 ? " unit (" : " units (") + reading.headerHex + ")";
    if (reading.change) text += " and " + ChangeWords(*reading.change);
    return text + ", then " + Outcome(reading);
}
