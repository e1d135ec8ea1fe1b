#include "ui/definition_commands.h"

#include <memory>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QToolTip>

#include "interop/interop.h"
#include "interop/read_text.h"
#include "model/pro_file.h"
#include "model/pro_text.h"
#include "model/save_file.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dialect_settings_window.h"
#include "ui/dlg_window.h"
#include "ui/field_definition_window.h"
#include "ui/field_findings.h"
#include "ui/help_window.h"
#include "ui/import_report_window.h"
#include "ui/main_dlg.h"

namespace {

constexpr int kSubfieldColumn = 4;  // the Data Elements list's "S" column

const char* FormatTitle(ForeignFormat format) {
    switch (format) {
        case ForeignFormat::kJpos:
            return "jPOS packager XML";
        case ForeignFormat::kMoov:
            return "moov field list";
        case ForeignFormat::kPyiso8583:
            return "pyiso8583 field dictionary";
        default:
            return "unknown";
    }
}

void Tell(QWidget* owner, const std::string& text, unsigned icon) {
    MessageBox(owner, text.c_str(), "ISO 8583 Workbench", icon | MB_OK);
}

int FieldOfRow(HWND list, int row) {
    LPARAM data = 0;
    if (row < 0 || !ListGetItemData(list, row, data)) return 0;
    return data >= kFirstDataElement && data <= kLastField ? static_cast<int>(data) : 0;
}

// A row's tooltip says what its field has beyond the list's columns, with the cell's text
// when the cell cuts it; other rows keep the list's own tips.
class OwnSettingsTips : public QObject {
  public:
    explicit OwnSettingsTips(QTableWidget* l) : QObject(l), list(l) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = list->indexAt(help->pos());
        if (!index.isValid()) return false;
        const int n = FieldOfRow(list, index.row());
        if (n == 0) return false;
        const QString summary = QString::fromStdString(OwnSettingsSummary(TheProtocol(), n));
        if (summary.isEmpty()) return false;
        const QString cell = index.data(Qt::DisplayRole).toString();
        const QString text = cell.isEmpty() ? summary : cell + QLatin1Char('\n') + summary;
        QToolTip::showText(help->globalPos(), text, list->viewport(), list->visualRect(index));
        return true;
    }

  private:
    QTableWidget* list;
};

}  // namespace

DefinitionCommands::DefinitionCommands(QWidget* f, MainDlg& d) : QObject(f), frame(f), dlg(d) {
    fieldAction = new QAction(QStringLiteral("&Field definition\u2026"), this);
    fieldAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    connect(fieldAction, &QAction::triggered, this, [this] { OpenFieldDefinition(); });
    settingsAction = new QAction(QStringLiteral("&Settings\u2026"), this);
    connect(settingsAction, &QAction::triggered, this, [this] { OpenSettings(); });
    importAction = new QAction(QStringLiteral("&Import\u2026"), this);
    importAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(importAction, &QAction::triggered, this, [this] { ChooseImport(); });
    exportAction = new QAction(QStringLiteral("&Export\u2026"), this);
    connect(exportAction, &QAction::triggered, this, [this] { ChooseExport(); });
    frame->addAction(fieldAction);
    frame->addAction(importAction);
    dlg.Document().SetForeignReader(
        [this](HWND, const std::string& path) { return ReadIfForeign(path); });
    AttachToList();
}

void DefinitionCommands::AddFileEntries(QMenu* file) {
    file->addSeparator();
    dialects = file->addMenu(QStringLiteral("&New from Standard Dialect"));
    connect(dialects, &QMenu::aboutToShow, this, [this] { FillDialects(); });
    FillDialects();
    file->addSeparator();
    file->addAction(importAction);
    file->addAction(exportAction);
}

void DefinitionCommands::AddDefinitionMenu(QMenuBar* bar) {
    QMenu* menu = bar->addMenu(QStringLiteral("&Definition"));
    menu->addAction(fieldAction);
    menu->addAction(settingsAction);
}

void DefinitionCommands::AttachToList() {
    auto* list = qobject_cast<QTableWidget*>(GetDlgItem(dlg.Page(0), IDC_LIST));
    if (list == nullptr) return;
    // Installed after the list's own tips, so that it is asked first.
    list->viewport()->installEventFilter(new OwnSettingsTips(list));
    connect(list, &QTableWidget::cellDoubleClicked, this, [this] { OpenFieldDefinition(); });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
        const int row = list->rowAt(at.y());
        if (row < 0) return;
        ListSetSelected(list, row);
        QMenu menu(list);
        menu.addAction(fieldAction);
        menu.exec(list->viewport()->mapToGlobal(at));
    });
}

int DefinitionCommands::SelectedField() const {
    HWND list = GetDlgItem(dlg.Page(0), IDC_LIST);
    return FieldOfRow(list, ListGetNextSelected(list));
}

void DefinitionCommands::DefinitionChanged() {
    dlg.Document().Check();
}

FieldDefinitionWindow* DefinitionCommands::OpenFieldDefinition() {
    const int n = SelectedField();
    if (n == 0) {
        Tell(frame, "Select a data element on the Data Elements page first.", MB_ICONINFORMATION);
        return nullptr;
    }
    // Modal to the main window: the definition cannot change under it.
    auto* window = new FieldDefinitionWindow(TheProtocol(), n, frame->window());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::WindowModal);
    window->OnChanged([this, n] {
        DefinitionChanged();
        HWND list = GetDlgItem(dlg.Page(0), IDC_LIST);
        for (int row = 0; row < ListGetItemCount(list); ++row) {
            if (FieldOfRow(list, row) == n)
                ListSetItemText(list, row, kSubfieldColumn,
                                TheProtocol().fields[n].subfield ? "S" : "");
        }
    });
    // The page's editor shows the row again, flag included, as a click on it would.
    connect(window, &QDialog::finished, this, [this] {
        HWND list = GetDlgItem(dlg.Page(0), IDC_LIST);
        const int row = ListGetNextSelected(list);
        ListSetSelected(list, -1);
        ListSetSelected(list, row);
    });
    window->show();
    return window;
}

DialectSettingsWindow* DefinitionCommands::OpenSettings() {
    auto* window = new DialectSettingsWindow(TheProtocol(), frame->window());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::WindowModal);
    window->OnChanged([this] { DefinitionChanged(); });
    window->show();
    return window;
}

std::optional<bool> DefinitionCommands::ReadIfForeign(const std::string& path) {
    std::string text;
    std::string error;
    // A file named as another tool's that is none of them is refused with the reason, rather
    // than read as a definition without lines, which would empty the user's.
    const QString name = QFile::decodeName(path.c_str());
    const QString suffix = QFileInfo(name).suffix().toLower();
    const bool named = suffix == QStringLiteral("xml") || suffix == QStringLiteral("json");
    const bool read = ReadForeignFile(path, text, error);
    if (!named && (!read || RecogniseFormat(text) == ForeignFormat::kUnknown)) return std::nullopt;
    return Import(name, false) != nullptr;
}

ImportReportWindow* DefinitionCommands::Import(const QString& path, bool ask) {
    const std::string file = QFile::encodeName(path).toStdString();
    std::string text;
    std::string error;
    if (!ReadForeignFile(file, text, error)) {
        Tell(frame, "The definition was not imported.\n" + error, MB_ICONERROR);
        return nullptr;
    }
    const ForeignFormat format = RecogniseFormat(text);
    if (format == ForeignFormat::kUnknown) {
        Tell(frame,
             "The definition was not imported.\n" + file +
                 ": not a jPOS packager, a moov field list or a pyiso8583 field dictionary",
             MB_ICONERROR);
        return nullptr;
    }
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    InteropNotes notes;
    std::string lines;
    if (!ImportDefinition(format, text, *def, notes, error) || !FormatProtocolText(*def, lines)) {
        Tell(frame, "The definition was not imported.\n" + file + ": " + error, MB_ICONERROR);
        return nullptr;
    }
    if (ask && !dlg.Document().MayReplace(dlg.Page(0)->window())) return nullptr;
    const QString name =
        def->name[0] != '\0' ? QString::fromUtf8(def->name) : QFileInfo(path).completeBaseName();
    const QString title = QStringLiteral("%1 (imported)").arg(name);
    dlg.Document().Adopt(lines, title, true);
    // Open Recent lists it: opened from there, it is imported again, by its content.
    dlg.Document().FileUsed(file);
    const QString heading =
        QStringLiteral(
            "%1 (%2) read as \u201c%3\u201d, not saved yet: File \u25B8 Save As "
            "writes it as a protocol definition (.pro). What did not carry over:")
            .arg(QFileInfo(path).fileName(), QString::fromLatin1(FormatTitle(format)), title);
    auto* report = new ImportReportWindow(heading, notes, frame->window());
    report->setAttribute(Qt::WA_DeleteOnClose);
    report->show();
    return report;
}

bool DefinitionCommands::Export(const QString& path) {
    const bool xml =
        QFileInfo(path).suffix().compare(QStringLiteral("xml"), Qt::CaseInsensitive) == 0;
    const ForeignFormat format = xml ? ForeignFormat::kJpos : ForeignFormat::kMoov;
    std::string out;
    InteropNotes notes;
    ExportDefinition(format, TheProtocol(), out, notes);
    std::string error;
    const bool saved = SaveFile(
        QFile::encodeName(path).toStdString(),
        [&out](std::FILE* stream) {
            return std::fwrite(out.data(), 1, out.size(), stream) == out.size();
        },
        error);
    if (!saved) {
        Tell(frame, "The definition was not exported.\n" + error, MB_ICONERROR);
        return false;
    }
    const QString heading =
        QStringLiteral("Written to %1 as a %2. What it could not hold:")
            .arg(QDir::toNativeSeparators(path), QString::fromLatin1(FormatTitle(format)));
    auto* report = new ImportReportWindow(heading, notes, frame->window());
    report->setWindowTitle(QStringLiteral("Export report"));
    report->setAttribute(Qt::WA_DeleteOnClose);
    report->show();
    return true;
}

QStringList DefinitionCommands::InstalledDialects() {
    // The package puts them in share/iso8583-workbench/dialects beside bin/; the build tree
    // has them with the examples it lays out as the package lays out its documents.
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList folders{QDir::cleanPath(
        QDir(programDir).filePath(QStringLiteral("../share/iso8583-workbench/dialects")))};
    const QString examples = FindDocument(QStringLiteral("examples"), programDir);
    if (!examples.isEmpty()) folders << QDir(examples).filePath(QStringLiteral("dialects"));
    for (const QString& folder : folders) {
        QStringList paths;
        for (const QFileInfo& info :
             QDir(folder).entryInfoList({QStringLiteral("*.pro")}, QDir::Files, QDir::Name))
            paths << info.absoluteFilePath();
        if (!paths.isEmpty()) return paths;
    }
    return {};
}

void DefinitionCommands::FillDialects() {
    dialects->clear();
    const QStringList paths = InstalledDialects();
    for (const QString& path : paths) {
        dialects->addAction(QFileInfo(path).completeBaseName(), this,
                            [this, path] { NewFromDialect(path); });
    }
    if (paths.isEmpty())
        dialects->addAction(QStringLiteral("No standard dialects installed"))->setEnabled(false);
}

bool DefinitionCommands::NewFromDialect(const QString& path) {
    if (!dlg.Document().MayReplace(dlg.Page(0)->window())) return false;
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    std::string lines;
    if (!LoadProtocolFile(QFile::encodeName(path).toStdString(), *def, error) ||
        !FormatProtocolText(*def, lines)) {
        Tell(frame, "The standard dialect was not read.\n" + error, MB_ICONERROR);
        return false;
    }
    // A new definition of no file: Save asks where, so the installed file stays as it is.
    return dlg.Document().Adopt(
        lines, QStringLiteral("%1 (new)").arg(QFileInfo(path).completeBaseName()), false);
}

void DefinitionCommands::ChooseImport() {
    const QString path = QFileDialog::getOpenFileName(
        frame, QStringLiteral("Import a Definition"), QString(),
        QStringLiteral("Other tools' definitions (*.xml *.json);;All files (*)"));
    if (!path.isEmpty()) Import(path);
}

void DefinitionCommands::ChooseExport() {
    QString filter;
    const QString moov = QStringLiteral("moov field list (*.json)");
    const QString jpos = QStringLiteral("jPOS packager XML (*.xml)");
    QString path =
        QFileDialog::getSaveFileName(frame, QStringLiteral("Export the Definition"), QString(),
                                     moov + QStringLiteral(";;") + jpos, &filter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == jpos ? QStringLiteral(".xml") : QStringLiteral(".json");
    Export(path);
}
