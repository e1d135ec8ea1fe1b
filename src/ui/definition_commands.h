// The commands that edit the definition beyond the Data Elements page's boxes: the Field
// definition and Settings windows, and the File menu's Import, Export and New from standard
// dialect. They also give the page's list its double click, context menu and tooltips.
#pragma once

#include <optional>
#include <string>

#include <QObject>
#include <QString>

class FieldDefinitionWindow;
class DialectSettingsWindow;
class ImportReportWindow;
class MainDlg;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;

class DefinitionCommands : public QObject {
    Q_OBJECT

  public:
    DefinitionCommands(QWidget* frame, MainDlg& dlg);

    // File: New from standard dialect, Import..., Export...; and the Definition menu.
    void AddFileEntries(QMenu* file);
    void AddDefinitionMenu(QMenuBar* bar);

    QAction* FieldDefinitionAction() const { return fieldAction; }
    QAction* SettingsAction() const { return settingsAction; }
    QMenu* StandardDialects() const { return dialects; }

    // Opens the window of the data element selected on the page; null when none is.
    FieldDefinitionWindow* OpenFieldDefinition();
    DialectSettingsWindow* OpenSettings();
    // Reads another tool's definition as an unsaved one and shows the report; null when the
    // file is none of those formats (nothing changed) or could not be read (the user is told).
    // Asks before unsaved work is lost when ask is true.
    ImportReportWindow* Import(const QString& path, bool ask = true);
    // Writes the definition as a moov field list (*.json) or a jPOS packager (*.xml), by the
    // name's suffix; the notes of what was left out are shown. False when nothing was written.
    bool Export(const QString& path);
    // Starts from an installed standard dialect: a definition of no file.
    bool NewFromDialect(const QString& path);
    // The standard dialects installed with the program (or beside it in the build tree).
    static QStringList InstalledDialects();

  private:
    std::optional<bool> ReadIfForeign(const std::string& path);
    void FillDialects();
    void ChooseImport();
    void ChooseExport();
    void AttachToList();
    void DefinitionChanged();
    int SelectedField() const;

    QWidget* frame;
    MainDlg& dlg;
    QAction* fieldAction = nullptr;
    QAction* settingsAction = nullptr;
    QAction* importAction = nullptr;
    QAction* exportAction = nullptr;
    QMenu* dialects = nullptr;
};
