// The user's work in the main window: the file the definition came from or went to, whether
// it now differs from that file, and the file commands, which ask before that work is lost.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QString>

#include "ui/win_defs.h"

class QAction;
class QObject;

// The file commands that the main window's menu shows: the same objects the keys go by.
struct DocumentActions {
    QAction* open = nullptr;    // Ctrl+O: as "Load ..."
    QAction* save = nullptr;    // Ctrl+S: to the current file
    QAction* saveAs = nullptr;  // Ctrl+Shift+S: as "Save ..."
};

class DocumentState {
  public:
    DocumentState() = default;
    ~DocumentState();
    DocumentState(const DocumentState&) = delete;
    DocumentState& operator=(const DocumentState&) = delete;

    // Takes the window's caption as the program's name in the title, the definition's text as
    // its unmodified state, adds the file commands with their keys and file drops, and opens the
    // file given for the start. refreshPages runs after each load.
    void Attach(HWND window, std::function<void()> refreshPages);
    // The window is going: nothing more is shown in it.
    void Detach();
    // A file to load as soon as the window runs.
    void OpenAtStart(const std::string& path) { startFile = path; }

    const DocumentActions& Actions() const { return actions; }
    // Told each file read or written, however the user chose it (dialog, command line, drop,
    // recent files), another tool's file imported included.
    void SetFileUsed(std::function<void(const std::string& path)> used) {
        fileUsed = std::move(used);
    }
    // A file read by a command of its own (an import), told as the file commands tell theirs.
    void FileUsed(const std::string& path) {
        if (fileUsed) fileUsed(path);
    }

    const std::string& CurrentFile() const { return currentFile; }
    bool Modified() const { return modified; }
    // Compares the definition with its text at start-up or the last load or save.
    void Check();

    // "Load ...": the question, the file dialog, the read.
    bool Load(HWND owner);
    // A file given by the user outside the dialog (a drop): the question, the read.
    bool Open(HWND owner, const std::string& path);
    // "Save ...": the file dialog, the write.
    bool SaveAs(HWND owner);
    // To the current file without a dialog; as "Save ..." when there is none.
    bool Save(HWND owner);
    // Whether the window may close: true unless the user keeps the unsaved work.
    bool MayClose(HWND owner);
    // Whether the definition may be replaced: the question before unsaved work is lost.
    bool MayReplace(HWND owner) { return MayDiscard(owner); }
    // Takes text (a definition file's lines) as a definition of no file, shown under the title;
    // unsaved when modified, so that leaving it asks first. The caller has asked MayReplace.
    bool Adopt(const std::string& text, const QString& title, bool modified);
    // Tried before a file is read as a definition: a file another tool wrote is taken by it.
    // It returns no value when the file is not one of those, else whether it was read.
    using ForeignReader = std::function<std::optional<bool>(HWND owner, const std::string& path)>;
    void SetForeignReader(ForeignReader reader) { foreignReader = std::move(reader); }

  private:
    bool MayDiscard(HWND owner);
    bool Read(HWND owner, const std::string& path);
    bool Write(HWND owner, const std::string& path);
    void TakeBaseline();
    void ShowTitle();

    HWND window = nullptr;
    QObject* helper = nullptr;  // the shortcuts and the drop filter, children of the window
    std::function<void()> refresh;
    std::function<void(const std::string&)> fileUsed;
    ForeignReader foreignReader;
    QString untitledName;  // the title of a definition of no file
    DocumentActions actions;
    QString programName;
    std::string startFile;
    std::string currentFile;
    std::string baseline;  // what Save would have written at start-up, load or save
    std::string scratch;
    bool modified = false;
};
