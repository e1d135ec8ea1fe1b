// The main window: its pages and tabs, what each tab change and file command refreshes, how it
// closes, and Load and Save through the file layer.
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "model/protocol.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/main_dlg.h"
#include "ui/window_text.h"

namespace {

struct MainWindow {
    MainDlg dlg;
    HWND wnd = nullptr;
    QStringList refreshes;
    QStringList boxes;
    std::string chosenPath;
    bool chooserCalled = false;

    MainWindow() {
        wnd = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
        dlg.SetRefreshObserver([this](const char* name) { refreshes << QString::fromUtf8(name); });
        SetMessageBoxHandler(
            [this](HWND, const std::string& text, const std::string& caption, unsigned) {
                boxes << QString::fromStdString(caption + ": " + text);
                return IDOK;
            });
        SetFileChooser([this](HWND, FileChoice, std::string& path) {
            chooserCalled = true;
            if (chosenPath.empty()) return false;
            path = chosenPath;
            return true;
        });
        wnd->show();
        wnd->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(wnd));
    }
    ~MainWindow() {
        SetFileChooser({});
        SetMessageBoxHandler({});
        delete wnd;
    }
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void ClickTab(int index) {
        QTabBar* bar = static_cast<QTabWidget*>(dlg.Tab())->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    int VisiblePage() const {
        int visible = -1;
        for (int i = 0; i < 3; ++i) {
            if (IsWindowVisible(dlg.Page(i))) visible = visible < 0 ? i : 99;
        }
        return visible;
    }
    void Command(int id) { QTest::mouseClick(GetDlgItem(wnd, id), Qt::LeftButton); }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void ResetProtocol() {
    TheProtocol().Reset();
    TheProtocol().messages.ClearAll();
}

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void startsOnDataElementsWithPagesInTheDisplayArea();
    void tabChangeShowsOnePageAndRefreshesAfterDataElements_data();
    void tabChangeShowsOnePageAndRefreshesAfterDataElements();
    void escapeAndEnterDoNotCloseTheWindow_data();
    void escapeAndEnterDoNotCloseTheWindow();
    void windowCloseEndsTheDialog();
    void loadRefreshesEditingPagesInOrderAndLeavesParser();
    void loadOfUnreadableFileIsSilentAndChangesNothing();
    void cancelledChooserDoesNothing();
    void saveAndLoadGoThroughTheFileLayer();
    void saveToMissingFolderSaysSoAndCreatesNothing();
    void failedWriteKeepsTheOldFile();
    void saveChooserAddsSuffixAndAsksBeforeReplacing();
};

void MainDlgTest::startsOnDataElementsWithPagesInTheDisplayArea() {
    MainWindow w;
    QCOMPARE(w.wnd->windowTitle(), QStringLiteral("ISO 8583 Workbench"));
    QCOMPARE(TabGetCurSel(w.dlg.Tab()), 0);
    QCOMPARE(w.VisiblePage(), 0);
    QTabBar* bar = static_cast<QTabWidget*>(w.dlg.Tab())->tabBar();
    QCOMPARE(bar->count(), 3);
    QCOMPARE(bar->tabText(0), QStringLiteral("Data Elements"));
    QCOMPARE(bar->tabText(1), QStringLiteral("Messages"));
    QCOMPARE(bar->tabText(2), QStringLiteral("Parser"));
    const QRect area = TabDisplayArea(w.dlg.Tab());
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(GetWindowRect(w.dlg.Page(i)).topLeft(), area.topLeft());
        QVERIFY(GetWindowRect(w.dlg.Page(i)).bottom() <= w.dlg.Tab()->geometry().bottom());
        QVERIFY(GetWindowRect(w.dlg.Page(i)).right() <= w.dlg.Tab()->geometry().right());
    }
    // Resizable, and no smaller than the template where the screen has room for it.
    QCOMPARE(w.wnd->minimumSize(), DialogWindow::From(w.wnd)->TemplateSize());
    QVERIFY(w.wnd->maximumWidth() > w.wnd->minimumWidth());
    QVERIFY(w.wnd->maximumHeight() > w.wnd->minimumHeight());
}

void MainDlgTest::tabChangeShowsOnePageAndRefreshesAfterDataElements_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("refreshed");
    QTest::newRow("Data Elements to Messages refreshes") << 0 << 1 << true;
    QTest::newRow("Data Elements to Parser refreshes") << 0 << 2 << true;
    QTest::newRow("Messages to Parser does not") << 1 << 2 << false;
    QTest::newRow("Parser to Messages does not") << 2 << 1 << false;
    QTest::newRow("Messages to Data Elements does not") << 1 << 0 << false;
}

void MainDlgTest::tabChangeShowsOnePageAndRefreshesAfterDataElements() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, refreshed);
    MainWindow w;
    if (from != 0) w.ClickTab(from);
    QCOMPARE(w.VisiblePage(), from);
    w.refreshes.clear();
    w.ClickTab(to);
    QCOMPARE(w.VisiblePage(), to);
    QCOMPARE(TabGetCurSel(w.dlg.Tab()), to);
    QCOMPARE(w.refreshes, refreshed ? QStringList{"MsgDefPg::FillFieldList"} : QStringList());
}

void MainDlgTest::escapeAndEnterDoNotCloseTheWindow_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
}

void MainDlgTest::escapeAndEnterDoNotCloseTheWindow() {
    QFETCH(int, key);
    MainWindow w;
    QTest::keyClick(GetDlgItem(w.dlg.Page(0), IDC_PROTOCOL_NAME), Qt::Key(key));
    QTest::keyClick(w.wnd, Qt::Key(key));
    QVERIFY(w.wnd->isVisible());
    QVERIFY(!DialogWindow::From(w.wnd)->Ended());
    QVERIFY(!w.chooserCalled);
}

void MainDlgTest::windowCloseEndsTheDialog() {
    MainWindow w;
    QVERIFY(w.wnd->close());
    QVERIFY(DialogWindow::From(w.wnd)->Ended());
    QCOMPARE(DialogWindow::From(w.wnd)->Result(), INT_PTR(1));
}

void MainDlgTest::loadRefreshesEditingPagesInOrderAndLeavesParser() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("x.pro")).toStdString();
    std::ofstream(path) << "NAME= Loaded dialect\nMTI_Enc=PBCD\n";
    ResetProtocol();
    MainWindow w;
    HWND message = GetDlgItem(w.dlg.Page(2), IDC_MESSAGE);
    HWND status = GetDlgItem(w.dlg.Page(2), IDC_STATUS);
    SetWindowText(message, "0800");
    SetWindowText(status, "last verdict");
    w.chosenPath = path;
    w.Command(IDC_LOAD);
    QCOMPARE(w.refreshes, (QStringList{"FldDefPg::ShowProtocol", "FldDefPg::FillFieldList",
                                       "MsgDefPg::FillMessageList", "MsgDefPg::FillFieldList"}));
    QCOMPARE(std::string(TheProtocol().name), std::string("Loaded dialect"));
    QCOMPARE(TheProtocol().mtiEnc, Encoding::PBCD);
    QCOMPARE(GetWindowText(message), std::string("0800"));
    QCOMPARE(GetWindowText(status), std::string("last verdict"));
    QCOMPARE(w.boxes, QStringList());
}

void MainDlgTest::loadOfUnreadableFileIsSilentAndChangesNothing() {
    ResetProtocol();
    std::strcpy(TheProtocol().name, "Kept");
    MainWindow w;
    w.chosenPath = QDir::tempPath().toStdString() + "/no-such-folder-iso/none.pro";
    w.Command(IDC_LOAD);
    QVERIFY(w.chooserCalled);
    QCOMPARE(std::string(TheProtocol().name), std::string("Kept"));
    QCOMPARE(w.refreshes, QStringList());
    QCOMPARE(w.boxes, QStringList());
}

void MainDlgTest::cancelledChooserDoesNothing() {
    MainWindow w;
    w.Command(IDC_LOAD);
    w.Command(IDC_SAVE);
    QVERIFY(w.chooserCalled);
    QCOMPARE(w.refreshes, QStringList());
    QCOMPARE(w.boxes, QStringList());
}

void MainDlgTest::saveAndLoadGoThroughTheFileLayer() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("saved.pro")).toStdString();
    ResetProtocol();
    std::strcpy(TheProtocol().name, "Round trip");
    TheProtocol().chrEnc = Encoding::EBCDIC;
    DefineField(TheProtocol().fields[2], FieldType::N, 19, 1, false, "Primary account number");
    MainWindow w;
    w.chosenPath = path;
    w.Command(IDC_SAVE);
    QCOMPARE(w.boxes, QStringList());
    QVERIFY(ReadAll(path).find("NAME= Round trip") != std::string::npos);

    ResetProtocol();
    w.Command(IDC_LOAD);
    QCOMPARE(std::string(TheProtocol().name), std::string("Round trip"));
    QCOMPARE(TheProtocol().chrEnc, Encoding::EBCDIC);
    QCOMPARE(TheProtocol().fields[2].size, std::int16_t(19));
    QCOMPARE(std::string(TheProtocol().fields[2].description),
             std::string("Primary account number"));
}

void MainDlgTest::saveToMissingFolderSaysSoAndCreatesNothing() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("missing/x.pro")).toStdString();
    MainWindow w;
    w.chosenPath = path;
    w.Command(IDC_SAVE);
    QCOMPARE(w.boxes.size(), 1);
    QVERIFY2(w.boxes[0].contains(QString::fromStdString(path)), qPrintable(w.boxes[0]));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(path)));
}

void MainDlgTest::failedWriteKeepsTheOldFile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("old.pro")).toStdString();
    const std::string old = "// the good definition\nNAME=Old\n";
    std::ofstream(path) << old;
    ResetProtocol();
    std::strcpy(TheProtocol().name, "New");
    for (int n = 2; n <= 128; ++n)
        DefineField(TheProtocol().fields[n], FieldType::ANS, 99, 0, false,
                    "A long enough description");
    MainWindow w;
    w.chosenPath = path;

    // A file-size limit makes every write past a few bytes fail, as a full disk would.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 16;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
    w.Command(IDC_SAVE);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(w.boxes.size(), 1);
    QVERIFY(w.boxes[0].startsWith(QStringLiteral("Error: The protocol definition was not saved.")));
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.pro"});  // no leftover
    ResetProtocol();
}

namespace {

// Types a name into the file dialog that is about to open and accepts it; answers Yes to a
// question box that follows. Gives up, closing whatever is modal, rather than hang.
void DriveFileDialog(const QString& name, QStringList& seen, int attempt = 0) {
    QTimer::singleShot(20, [name, &seen, attempt] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->text();
            box->button(QMessageBox::Yes)->click();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            if (attempt < 50) DriveFileDialog(name, seen, attempt + 1);
            return;
        }
        if (attempt >= 50) {
            dialog->reject();
            return;
        }
        if (!seen.contains(dialog->windowTitle())) {
            seen << dialog->windowTitle();
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        }
        DriveFileDialog(name, seen, attempt + 1);  // a question may follow
    });
}

}  // namespace

void MainDlgTest::saveChooserAddsSuffixAndAsksBeforeReplacing() {
    QTemporaryDir dir;
    QStringList seen;
    std::string path;
    DriveFileDialog(dir.filePath(QStringLiteral("bare")), seen);
    QVERIFY(ChooseProtocolFile(nullptr, FileChoice::Save, path));
    QCOMPARE(QString::fromStdString(path), dir.filePath(QStringLiteral("bare.pro")));
    QCOMPARE(seen, QStringList{"Save a protocol definition"});

    std::ofstream(path) << "NAME= x\n";
    seen.clear();
    DriveFileDialog(dir.filePath(QStringLiteral("bare.pro")), seen);
    QVERIFY(ChooseProtocolFile(nullptr, FileChoice::Save, path));
    QCOMPARE(seen.size(), 2);
    QVERIFY2(seen[1].contains(QStringLiteral("bare.pro")), qPrintable(seen[1]));  // the question

    seen.clear();
    DriveFileDialog(dir.filePath(QStringLiteral("bare.pro")), seen);
    QVERIFY(ChooseProtocolFile(nullptr, FileChoice::Load, path));
    QCOMPARE(seen, QStringList{"Load a protocol definition"});
}

QTEST_MAIN(MainDlgTest)
#include "main_dlg_test.moc"
