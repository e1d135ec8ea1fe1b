// Helpers on single-byte, NUL-terminated texts: blank normalisation, trimming, hex text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Normalisers: in place, one blank between words, none at either end; return the new length.
int CollapseBlanks(char* text) noexcept;
int CollapseBlanks1252(char* text) noexcept;
int CollapseBlanksUtf8(char* text) noexcept;
int CollapseUnprintable(char* text) noexcept;
// Whether CollapseUnprintable counts the byte as blank.
bool IsUnprintableByte(unsigned char c) noexcept;

// Trims the space character only; returns text (null for an absent text).
char* TrimSpaces(char* text) noexcept;

// Length of the UTF-8 sequence at p (1 to 4), 0 at the NUL or for no text,
// -2 bad first byte, -3 bad continuation byte, -4 overlong form.
int DecodeUtf8(const char* p, std::uint32_t* codePoint) noexcept;

// Value of the two hex digits at p, or -1.
int HexPairValue(const char* p) noexcept;
// n bytes into 2n uppercase digits (NUL after them when room allows); 0 on refusal.
int EncodeHex(int n, int room, char* out, const std::uint8_t* in) noexcept;
// Uppercase hexadecimal digits of count bytes, two per byte, replacing hex.
void AssignHex(std::string& hex, const unsigned char* bytes, int count);
// m digits into m/2 bytes (0 byte after them when room allows); 0 on refusal. out may be in.
// A bad digit leaves the bytes before its pair written.
int DecodeHex(int m, std::uint8_t* out, const char* in, int room) noexcept;
// DecodeHex a pair at a time, as the reference of the vector paths.
int DecodeHexScalar(int m, std::uint8_t* out, const char* in, int room) noexcept;

// Appends count units of a message to out, each outside 0x20 to 0x7E as \xHH, so that no
// unit reaches a screen as a control or as a character of some code page.
void EscapeUnits(std::string& out, const unsigned char* units, int count);

// Copies src into dst[size] cut to size - 1 bytes without splitting a UTF-8 sequence.
void CopyTextCut(char* dst, std::size_t size, const char* src) noexcept;

// Windows-1252, one byte one character: the byte's character (the five bytes the code page
// leaves undefined give the C1 control of the same value), and the byte of a character, '?'
// for one the code page lacks.
char16_t Cp1252ToWide(std::uint8_t b) noexcept;
std::uint8_t WideToCp1252(char16_t w) noexcept;
