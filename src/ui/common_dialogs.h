// The message box and the protocol file choosers, each behind a seam that tests can replace.
#pragma once

#include <functional>
#include <string>

#include "ui/win_defs.h"

// Returns IDOK, IDCANCEL, IDYES or IDNO as the user answered.
int MessageBox(HWND owner, const char* text, const char* caption, unsigned flags);

using MessageBoxHandler = std::function<int(HWND owner, const std::string& text,
                                            const std::string& caption, unsigned flags)>;
// Replaces the real box (an empty handler restores it); returns the handler it replaced.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

enum class FileChoice { Load, Save };

// The file dialogs of Load and Save: "*.pro" files, the suffix pro added to a bare name, and on
// Save the question before an existing file is replaced. path holds the current file on entry
// (empty when there is none): the dialog opens in its folder. False when cancelled.
bool ChooseProtocolFile(HWND owner, FileChoice choice, std::string& path);

using FileChooser = std::function<bool(HWND owner, FileChoice choice, std::string& path)>;
FileChooser SetFileChooser(FileChooser chooser);
