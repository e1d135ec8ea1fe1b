// The protocol file dialogs: the platform's own where the desktop offers one, opening in the
// current file's folder or else the folder last used, which is kept across runs.
#pragma once

#include <string>

#include <QString>

#include "ui/common_dialogs.h"

// Qt's own widget dialog instead of the platform's: tests drive it.
void UseWidgetFileDialogs(bool use);

// path: the current file on entry (empty when there is none), the chosen file on return.
bool ShowProtocolFileDialog(HWND owner, FileChoice choice, std::string& path);

// The folder of the file last chosen in a dialog; empty when none is remembered.
QString LastFileFolder();
void RememberFileFolder(const QString& file);
