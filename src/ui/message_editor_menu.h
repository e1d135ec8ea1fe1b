// Message ▸ New… and Message ▸ Edit…: the commands that open the Message editor, and the one
// editor window the main window keeps for them.
#pragma once

class MainDlg;
class MessageEditorWindow;
class QMenu;
class QWidget;

// Adds the two commands to menu; the editor opens as a window of owner.
void AddMessageEditorCommands(QMenu& menu, MainDlg& dlg, QWidget& owner);
// The editor window of owner, null before either command opened it.
MessageEditorWindow* MessageEditorOf(const QWidget& owner);
