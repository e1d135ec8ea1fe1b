// The Help menu's windows: the program's manual (the README installed with it, rendered from
// Markdown, read from disk only) and the About box.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The folders the installed documents may be in, for the program in programDir: the installed
// layout (bin/ beside share/doc/) and the build tree, which lays them out the same way.
QStringList DocumentFolders(const QString& programDir);
// The path of the document (a file or a folder) in the first of those folders that has it;
// empty when none does.
QString FindDocument(const QString& name, const QString& programDir);

// Opens the manual in a window of the program, or says where it was looked for.
void ShowManual(QWidget* owner);
// The version, the Qt version and where the examples are.
QString AboutText(const QString& programDir);
void ShowAbout(QWidget* owner);
