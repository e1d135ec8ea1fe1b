// The desktop program: one main window with the Data Elements, Messages and Parser pages.
#include <QApplication>
#include <QFile>
#include <QIcon>

#include "support/error_balloon.h"
#include "ui/dlg_window.h"
#include "ui/main_dlg.h"

namespace {

// The program needs nothing of the system beyond what Qt 6 itself needs.
bool CheckWindowsVersion() {
    return true;
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ISO 8583 Workbench"));
    QApplication::setOrganizationName(QStringLiteral("iso8583-workbench"));
    QApplication::setDesktopFileName(QStringLiteral("iso8583-workbench"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/iso8583-workbench.png")));

    if (!CheckWindowsVersion()) return 1;
    ReadBalloonSetting();

    MainDlg mainDlg;
    mainDlg.OpenAtStart(StartFile(QApplication::arguments()));
    DialogBoxParam(IDD_MAIN, nullptr, &mainDlg);
    return 0;
}
