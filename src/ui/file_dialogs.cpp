#include "ui/file_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace {

bool& WidgetDialogs() {
    static bool use = false;
    return use;
}

const QString kLastFolderKey = QStringLiteral("files/lastFolder");

QString StartFolder(const std::string& current) {
    if (!current.empty()) return QFileInfo(QFile::decodeName(current.c_str())).absolutePath();
    return LastFileFolder();
}

// The dialog adds the suffix to a bare name only after a native dialog has checked that name:
// the question about the file actually written is asked here, always, and a No goes back to
// the dialog as the Windows one does.
bool MayReplace(HWND owner, const QString& file, const QString& title) {
    if (!QFileInfo::exists(file)) return true;
    const QString text = QStringLiteral("%1 already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(file).fileName());
    return MessageBox(owner, text.toUtf8().constData(), title.toUtf8().constData(),
                      MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

}  // namespace

void UseWidgetFileDialogs(bool use) {
    WidgetDialogs() = use;
}

bool ShowProtocolFileDialog(HWND owner, FileChoice choice, std::string& path) {
    const bool save = choice == FileChoice::Save;
    const QString title = save ? QStringLiteral("Save a protocol definition")
                               : QStringLiteral("Load a protocol definition");
    QFileDialog dialog(owner, title, StartFolder(path));
    if (WidgetDialogs()) dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Open also takes other tools' definitions, told apart by their content.
    QStringList filters{QStringLiteral("Protocol definition file (*.pro)")};
    if (!save) filters << QStringLiteral("Other tools' definitions (*.xml *.json)");
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("pro"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        const QString file = dialog.selectedFiles().first();
        if (!save || MayReplace(owner, file, title)) {
            RememberFileFolder(file);
            path = QFile::encodeName(file).toStdString();
            return true;
        }
        dialog.selectFile(file);
    }
}

QString LastFileFolder() {
    const QString folder = QSettings().value(kLastFolderKey).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberFileFolder(const QString& file) {
    QSettings().setValue(kLastFolderKey, QFileInfo(file).absolutePath());
}
