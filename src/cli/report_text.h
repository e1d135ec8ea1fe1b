// How the rows and summary reports show texts, so that no byte of a message reaches a
// terminal as a control sequence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Bytes from a message: 0x20 to 0x7E as they are, '\' as "\\", any other byte as \xHH.
void AppendMessageText(std::string& out, std::string_view bytes);
// The same at out, which has room for 4 characters a byte; where the text ends.
char* PutMessageText(char* out, std::string_view bytes) noexcept;
// How many characters AppendMessageText writes for bytes.
std::size_t MessageTextWidth(std::string_view bytes);
// Texts of the definition: as they are, except control characters, written as \xHH.
void AppendDefinitionText(std::string& out, std::string_view text);
char* PutDefinitionText(char* out, std::string_view text) noexcept;
// Where the message units a verdict quotes begin (the MTI of "Unknown message 0210"), or the
// verdict's size when it quotes none.
std::size_t VerdictQuoteStart(std::string_view verdict) noexcept;
// A verdict: the system's own words as definition text, the MTI it names as message bytes.
void AppendVerdict(std::string& out, std::string_view verdict);
char* PutVerdict(char* out, std::string_view verdict) noexcept;  // room: 4 a byte
// A number in decimal, right-aligned in width characters (printf's "%*ld").
void AppendNumber(std::string& out, long number, std::size_t width = 0);
