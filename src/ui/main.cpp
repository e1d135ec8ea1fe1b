// The desktop program: one main window with the Data Elements, Messages and Parser pages under
// a menu bar.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QFile>
#include <QIcon>

#include "model/save_file.h"
#include "support/error_balloon.h"
#include "ui/main_dlg.h"
#include "ui/main_frame.h"
#include "ui/scroll_thumbs.h"

namespace {

// The program needs nothing of the system beyond what Qt 6 itself needs.
bool CheckWindowsVersion() {
    return true;
}

// --help and --version are answered before the toolkit starts, so they work without a
// display. Every other argument is the toolkit's (-platform, -style, ...).
bool AnsweredInfoOption(int argc, char** argv, int& status) {
    CLI::App app{
        "ISO 8583 Workbench: describe an ISO 8583 dialect in a .pro file and decode "
        "raw messages against it.",
        "iso8583-workbench"};
    app.set_version_flag("-v,--version", "iso8583-workbench " ISO_VERSION);
    app.allow_extras();
    app.footer(
        "A FILE.pro given after the options is loaded at start. Qt's own options, such as "
        "-platform NAME, are accepted as well.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        status = app.exit(e);
        return true;
    }
    return false;
}

// The definition file named on the command line (what a file manager passes), else empty.
std::string StartFile(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].startsWith(QLatin1Char('-')))
            return QFile::encodeName(arguments[i]).toStdString();
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    int status = 0;
    if (AnsweredInfoOption(argc, argv, status)) return status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ISO 8583 Workbench"));
    QApplication::setApplicationVersion(QStringLiteral(ISO_VERSION));
    QApplication::setOrganizationName(QStringLiteral("iso8583-workbench"));
    QApplication::setDesktopFileName(QStringLiteral("iso8583-workbench"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/iso8583-workbench.png")));

    if (!CheckWindowsVersion()) return 1;
    // Ctrl+C in the terminal, or a logout, during a Save must not leave a temporary file.
    RemoveSaveTemporaryOnSignals();
    ReadBalloonSetting();
    UseVisibleScrollThumbs();

    MainDlg mainDlg;
    mainDlg.OpenAtStart(StartFile(QApplication::arguments()));
    MainFrame frame(mainDlg);
    frame.Run();
    return 0;
}
