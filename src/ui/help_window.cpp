#include "ui/help_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include "ui/common_dialogs.h"
#include "ui/tool_window.h"

namespace {

const QString kPackage = QStringLiteral("iso8583-workbench");

QString ProgramDir() {
    return QCoreApplication::applicationDirPath();
}

QString ProgramName() {
    return QCoreApplication::applicationName().isEmpty() ? QStringLiteral("ISO 8583 Workbench")
                                                         : QCoreApplication::applicationName();
}

// Links between the documents open in the window; a web address opens in the user's browser,
// which the window itself never reaches for.
class ManualWindow : public QTextBrowser {
  public:
    explicit ManualWindow(QWidget* owner) : QTextBrowser(owner) {
        setWindowFlag(Qt::Window);
        setObjectName(QStringLiteral("manual"));
        setWindowTitle(ProgramName() + QStringLiteral(" Manual"));
        setOpenExternalLinks(true);
    }
    bool placed = false;
};

QPointer<ManualWindow>& Manual() {
    static QPointer<ManualWindow> window;
    return window;
}

}  // namespace

QStringList DocumentFolders(const QString& programDir) {
    const QDir dir(programDir);
    return {QDir::cleanPath(dir.filePath(QStringLiteral("../share/doc/") + kPackage)),
            QDir::cleanPath(dir.filePath(QStringLiteral("../../share/doc/") + kPackage))};
}

QString FindDocument(const QString& name, const QString& programDir) {
    for (const QString& folder : DocumentFolders(programDir)) {
        const QFileInfo found(QDir(folder).filePath(name));
        if (found.exists()) return found.absoluteFilePath();
    }
    return {};
}

void ShowManual(QWidget* owner) {
    const QString readme = FindDocument(QStringLiteral("README.md"), ProgramDir());
    if (readme.isEmpty()) {
        const QString text =
            QStringLiteral("The manual (README.md) was not found; it was looked for in %1.")
                .arg(DocumentFolders(ProgramDir()).join(QStringLiteral(" and ")));
        MessageBox(owner, text.toUtf8().constData(), ProgramName().toUtf8().constData(),
                   MB_ICONWARNING | MB_OK);
        return;
    }
    QPointer<ManualWindow>& window = Manual();
    if (window == nullptr || window->parentWidget() != owner) {
        delete window;
        window = new ManualWindow(owner);
    }
    // Read afresh each time: an installation may have brought a newer manual.
    window->setSearchPaths({QFileInfo(readme).absolutePath()});
    window->setSource(QUrl::fromLocalFile(readme), QTextDocument::MarkdownResource);
    const int line = window->fontMetrics().height();
    PresentToolWindow(*window, QSize(48 * line, 40 * line), nullptr, window->placed);
}

QString AboutText(const QString& programDir) {
    const QString examples = FindDocument(QStringLiteral("examples"), programDir);
    return QStringLiteral(
               "%1 %2\n\nDescribes ISO 8583 dialects in .pro files and decodes messages "
               "against them.\n\nQt %3 (built with %4)\nExamples: %5")
        .arg(ProgramName(), QCoreApplication::applicationVersion(), QString::fromLatin1(qVersion()),
             QStringLiteral(QT_VERSION_STR),
             examples.isEmpty() ? QStringLiteral("not installed beside the program") : examples);
}

void ShowAbout(QWidget* owner) {
    QMessageBox::about(owner, QStringLiteral("About ") + ProgramName(), AboutText(ProgramDir()));
}
