// Window texts: the model's UTF-8 texts to and from the controls, the Parser's raw bytes, and
// AutoBuff's LoadWindowText.
#pragma once

#include <string>

#include <QString>

#include "ui/win_defs.h"

class AutoBuff;

// UTF-8 to Qt; a text that is not valid UTF-8 (a definition written on Windows) is read as
// Windows-1252, so that its accented letters show instead of replacement characters.
QString FromModelText(const char* text, int bytes = -1);
std::string ToModelText(const QString& text);

// A raw message: one character per byte through Windows-1252, the ANSI code page the program
// was made for. A character that code page lacks becomes '?', as Windows' conversion does, so
// that message offsets stay character positions.
QString FromRawBytes(const char* bytes, int count);
std::string ToRawBytes(const QString& text);

QString WindowQText(HWND wnd);
bool SetWindowQText(HWND wnd, const QString& text);

// The text in UTF-8: its length in bytes; a copy cut to size - 1 bytes without splitting a
// character (returns the bytes copied); setting it.
int GetWindowTextLength(HWND wnd);
int GetWindowText(HWND wnd, char* buffer, int size);
std::string GetWindowText(HWND wnd);
bool SetWindowText(HWND wnd, const char* text);

// The text as raw message bytes, and back.
std::string GetRawWindowText(HWND wnd);
bool SetRawWindowText(HWND wnd, const char* bytes, int count);

// Content := the window's text with its blanks normalised. Never fails.
bool LoadWindowText(AutoBuff& buffer, HWND wnd);
