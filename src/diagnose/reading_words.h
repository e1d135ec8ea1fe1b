// A reading in words, the same for the command line and the desktop window:
// "a header of 5 units (6000030000), then passes as 0200", "BMP_Enc=HEX: passes as 0210".
#pragma once

#include <string>
#include <string_view>

#include "diagnose/diagnosis.h"

inline constexpr char kReadingsLead[] = "Decodes exactly with:";
inline constexpr char kNoReading[] = "No single change makes it decode exactly.";

// "BMP_Enc=HEX" for a change; for a field's own, the line that makes it: "field 35
// NUM_Enc=PBCD (FIELD_OPTION= 35; NUM_Enc; PBCD)"; "allowing empty fields (OPTION= ...)".
std::string ChangeWords(const EncodingChange& change);
// How the words quote bytes of the message (the MTI, and the verdict that names it).
using MessageBytesShown = std::string (*)(std::string_view bytes);
// messageBytes null: the bytes as they are.
std::string ReadingWords(const Reading& reading, MessageBytesShown messageBytes = nullptr);
