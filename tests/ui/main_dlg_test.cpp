// The main window: its pages and tabs, what each tab change and file command refreshes, how it
// closes, and Load and Save through the file layer.
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "model/pro_text.h"
#include "model/protocol.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/file_dialogs.h"
#include "ui/main_dlg.h"
#include "ui/window_text.h"

namespace {

struct MainWindow {
    MainDlg dlg;
    HWND wnd = nullptr;
    QStringList refreshes;
    QStringList boxes;      // caption: text of each other box
    QStringList questions;  // the text of each Yes/No/Cancel question
    int answer = IDCANCEL;  // to each question
    std::string chosenPath;
    bool chooserCalled = false;
    std::vector<FileChoice> choices;

    explicit MainWindow(const std::string& startFile = {}) {
        dlg.OpenAtStart(startFile);
        wnd = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
        dlg.SetRefreshObserver([this](const char* name) { refreshes << QString::fromUtf8(name); });
        SetMessageBoxHandler(
            [this](HWND, const std::string& text, const std::string& caption, unsigned flags) {
                if ((flags & 0xF) == MB_YESNOCANCEL) {
                    questions << QString::fromStdString(text);
                    return answer;
                }
                boxes << QString::fromStdString(caption + ": " + text);
                return IDOK;
            });
        SetFileChooser([this](HWND, FileChoice choice, std::string& path) {
            chooserCalled = true;
            choices.push_back(choice);
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
    // Types a new protocol name into its box and leaves the box, which commits it.
    void Rename(const QString& name) {
        auto* box = static_cast<QLineEdit*>(GetDlgItem(dlg.Page(0), IDC_PROTOCOL_NAME));
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, name);
        QTest::keyClick(box, Qt::Key_Tab);
    }
    QString Title() const { return wnd->windowTitle(); }
    bool Modified() const { return wnd->isWindowModified(); }
};

QString TitleOf(const char* file) {
    return QStringLiteral("%1[*] \u2014 ISO 8583 Workbench").arg(QString::fromUtf8(file));
}

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

// Runs the step in 20 ms, for a modal dialog about to open. Steps still waiting are counted so
// that a test ends only when none of them can reach into its finished frame; a newer chain of
// steps makes the older ones stop.
int waitingSteps = 0;
int driverChain = 0;

void Later(int chain, std::function<void()> step) {
    ++waitingSteps;
    QTimer::singleShot(20, [chain, step = std::move(step)] {
        --waitingSteps;
        if (chain == driverChain) step();
    });
}

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("iso8583-workbench-tests"));
        UseWidgetFileDialogs(true);
    }
    void cleanup() {
        ++driverChain;
        QTRY_COMPARE(waitingSteps, 0);
    }
    void startsOnDataElementsWithPagesInTheDisplayArea();
    void tabChangeShowsOnePageAndRefreshesAfterDataElements_data();
    void tabChangeShowsOnePageAndRefreshesAfterDataElements();
    void escapeAndEnterDoNotCloseTheWindow_data();
    void escapeAndEnterDoNotCloseTheWindow();
    void windowCloseEndsTheDialog();
    void loadRefreshesEditingPagesInOrderAndLeavesParser();
    void loadOfUnreadableFileSaysWhyAndChangesNothing();
    void cancelledChooserDoesNothing();
    void saveAndLoadGoThroughTheFileLayer();
    void loadAndSaveKeepTheDefinitionsOptionsAndFieldSettings();
    void saveToMissingFolderSaysSoAndCreatesNothing();
    void failedWriteKeepsTheOldFile();
    void saveChooserAddsSuffixAndAsksBeforeReplacing();
    void titleAndModifiedMarkFollowEditsLoadsAndSaves();
    void unsavedChangesAskBeforeCloseAndLoad_data();
    void unsavedChangesAskBeforeCloseAndLoad();
    void questionBoxOffersSaveDiscardAndCancel_data();
    void questionBoxOffersSaveDiscardAndCancel();
    void ctrlSCommitsTheTypedNameAndSavesWithoutAsking();
    void shortcutsRunTheFileCommands_data();
    void shortcutsRunTheFileCommands();
    void fileGivenAtStartIsLoaded_data();
    void fileGivenAtStartIsLoaded();
    void droppedProtocolFileIsLoaded();
    void fileDialogsStartInTheCurrentFilesFolderElseTheLastUsed();
};

void MainDlgTest::startsOnDataElementsWithPagesInTheDisplayArea() {
    MainWindow w;
    QCOMPARE(w.Title(), TitleOf("Untitled"));
    QVERIFY(!w.Modified());
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
                                       "MsgDefPg::FillMessageList", "MsgDefPg::FillFieldList",
                                       "FldDefPg::ClearFieldEditor"}));
    QCOMPARE(std::string(TheProtocol().name), std::string("Loaded dialect"));
    QCOMPARE(TheProtocol().mtiEnc, Encoding::PBCD);
    QCOMPARE(GetWindowText(message), std::string("0800"));
    QCOMPARE(GetWindowText(status), std::string("last verdict"));
    QCOMPARE(w.boxes, QStringList());
}

void MainDlgTest::loadOfUnreadableFileSaysWhyAndChangesNothing() {
    ResetProtocol();
    std::strcpy(TheProtocol().name, "Kept");
    MainWindow w;
    w.chosenPath = QDir::tempPath().toStdString() + "/no-such-folder-iso/none.pro";
    w.Command(IDC_LOAD);
    QVERIFY(w.chooserCalled);
    QCOMPARE(std::string(TheProtocol().name), std::string("Kept"));
    QCOMPARE(w.refreshes, QStringList());
    QCOMPARE(w.boxes, QStringList{QString::fromStdString(
                          "Error: The protocol definition was not loaded.\n" + w.chosenPath +
                          ": cannot open: No such file or directory")});
    QCOMPARE(w.Title(), TitleOf("Untitled"));
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
    w.answer = IDNO;  // the reset is a change of the definition
    w.Command(IDC_LOAD);
    QCOMPARE(std::string(TheProtocol().name), std::string("Round trip"));
    QCOMPARE(TheProtocol().chrEnc, Encoding::EBCDIC);
    QCOMPARE(TheProtocol().fields[2].size, std::int16_t(19));
    QCOMPARE(std::string(TheProtocol().fields[2].description),
             std::string("Primary account number"));
}

void MainDlgTest::loadAndSaveKeepTheDefinitionsOptionsAndFieldSettings() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("dialect.pro")).toStdString();
    const std::string original = ReadAll(ISO_EXAMPLES_DIR "/dialect.pro");
    std::ofstream(path, std::ios::binary) << original;
    ResetProtocol();
    MainWindow w;
    w.chosenPath = path;
    w.answer = IDNO;
    w.Command(IDC_LOAD);
    QVERIFY(TheProtocol().options.emptyFields);
    QCOMPARE(TheProtocol().settings[41].charset, std::optional<Encoding>(Encoding::EBCDIC));
    w.Command(IDC_SAVE);
    const std::string saved = ReadAll(path);
    for (const char* line : {"OPTION= EMPTY_FIELDS; Y\n", "FIELD_OPTION=  35; BIN_Enc; PBCD\n",
                             "FIELD_OPTION= 127; LEN_UNITS; 6\n"}) {
        QVERIFY2(saved.find(line) != std::string::npos, line);
    }
    // Saved by the program, it is what the program would save again: nothing is modified.
    std::string again;
    QVERIFY(FormatProtocolText(TheProtocol(), again));
    QCOMPARE(again, saved);
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
void DriveFileDialog(const QString& name, QStringList& seen, int attempt = 0, int chain = 0) {
    if (attempt == 0) chain = ++driverChain;
    Later(chain, [name, &seen, attempt, chain] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->text();
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                yes->click();
            } else {
                box->reject();
            }
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            if (attempt < 50) DriveFileDialog(name, seen, attempt + 1, chain);
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
        DriveFileDialog(name, seen, attempt + 1, chain);  // a question may follow
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

    // The suffix added to a bare name does not get round the question.
    seen.clear();
    DriveFileDialog(dir.filePath(QStringLiteral("bare")), seen);
    QVERIFY(ChooseProtocolFile(nullptr, FileChoice::Save, path));
    QCOMPARE(seen.size(), 2);
    QVERIFY2(seen[1].contains(QStringLiteral("bare.pro")), qPrintable(seen[1]));

    seen.clear();
    DriveFileDialog(dir.filePath(QStringLiteral("bare.pro")), seen);
    QVERIFY(ChooseProtocolFile(nullptr, FileChoice::Load, path));
    QCOMPARE(seen, QStringList{"Load a protocol definition"});
}

void MainDlgTest::titleAndModifiedMarkFollowEditsLoadsAndSaves() {
    QTemporaryDir dir;
    const std::string hand = dir.filePath(QStringLiteral("hand.pro")).toStdString();
    // Laid out as no Save would write it: loading it is no change of the user's.
    std::ofstream(hand) << "NAME= Hand written\nFIELD=2;N;19;2;N;PAN\n";
    ResetProtocol();
    MainWindow w;
    w.Rename(QStringLiteral("Edited"));
    QCOMPARE(w.Title(), TitleOf("Untitled"));
    QVERIFY(w.Modified());

    w.answer = IDNO;
    w.chosenPath = hand;
    w.Command(IDC_LOAD);
    QCOMPARE(w.Title(), TitleOf("hand.pro"));
    QVERIFY(!w.Modified());
    w.Rename(QStringLiteral("Hand written"));  // the same text as before
    QVERIFY(!w.Modified());
    w.Rename(QStringLiteral("Other"));
    QVERIFY(w.Modified());

    w.chosenPath = dir.filePath(QStringLiteral("saved.pro")).toStdString();
    w.Command(IDC_SAVE);
    QCOMPARE(w.Title(), TitleOf("saved.pro"));
    QVERIFY(!w.Modified());
    QCOMPARE(w.questions.size(), 1);
}

void MainDlgTest::unsavedChangesAskBeforeCloseAndLoad_data() {
    QTest::addColumn<bool>("close");  // else Load
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("hasFile");
    QTest::addColumn<bool>("goesOn");  // the window closes, the other file is loaded
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("nameAsked");
    QTest::newRow("close, Save") << true << IDYES << true << true << true << false;
    QTest::newRow("close, Save without a file asks for a name")
        << true << IDYES << false << true << true << true;
    QTest::newRow("close, Discard") << true << IDNO << true << true << false << false;
    QTest::newRow("close, Cancel") << true << IDCANCEL << true << false << false << false;
    QTest::newRow("load, Save") << false << IDYES << true << true << true << false;
    QTest::newRow("load, Discard") << false << IDNO << true << true << false << false;
    QTest::newRow("load, Cancel") << false << IDCANCEL << true << false << false << false;
}

void MainDlgTest::unsavedChangesAskBeforeCloseAndLoad() {
    QFETCH(bool, close);
    QFETCH(int, answer);
    QFETCH(bool, hasFile);
    QFETCH(bool, goesOn);
    QFETCH(bool, saved);
    QFETCH(bool, nameAsked);
    QTemporaryDir dir;
    const std::string current = dir.filePath(QStringLiteral("current.pro")).toStdString();
    const std::string other = dir.filePath(QStringLiteral("other.pro")).toStdString();
    std::ofstream(current) << "NAME= Current\n";
    std::ofstream(other) << "NAME= Other\n";
    ResetProtocol();
    MainWindow w;
    if (hasFile) {
        w.chosenPath = current;
        w.Command(IDC_LOAD);
    }
    w.Rename(QStringLiteral("Changed"));
    w.answer = answer;
    w.choices.clear();
    w.chosenPath = close ? current : other;

    bool wentOn = false;
    if (close) {
        w.wnd->close();
        wentOn = DialogWindow::From(w.wnd)->Ended();
    } else {
        w.Command(IDC_LOAD);
        wentOn = std::string(TheProtocol().name) == "Other";
    }
    QCOMPARE(w.questions, QStringList{"Save changes to the protocol definition?"});
    QCOMPARE(wentOn, goesOn);
    QCOMPARE(ReadAll(current).find("NAME= Changed") != std::string::npos, saved);
    QCOMPARE(int(std::count(w.choices.begin(), w.choices.end(), FileChoice::Save)),
             nameAsked ? 1 : 0);
    if (!goesOn) {
        QCOMPARE(std::string(TheProtocol().name), std::string("Changed"));
        QVERIFY(w.Modified());
    }
}

namespace {

// Presses the button of the question box about to open whose text is given (Escape when none).
void AnswerQuestion(const QString& button, int attempt = 0, int chain = 0) {
    if (attempt == 0) chain = ++driverChain;
    Later(chain, [button, attempt, chain] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (attempt < 50) AnswerQuestion(button, attempt + 1, chain);
            return;
        }
        for (QAbstractButton* b : box->buttons()) {
            if (!button.isEmpty() && b->text().remove(QLatin1Char('&')) == button) {
                b->click();
                return;
            }
        }
        QTest::keyClick(box, Qt::Key_Escape);
    });
}

}  // namespace

void MainDlgTest::questionBoxOffersSaveDiscardAndCancel_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("Save") << QStringLiteral("Save") << IDYES;
    QTest::newRow("Discard") << QStringLiteral("Discard") << IDNO;
    QTest::newRow("Cancel") << QStringLiteral("Cancel") << IDCANCEL;
    QTest::newRow("Escape") << QString() << IDCANCEL;
}

void MainDlgTest::questionBoxOffersSaveDiscardAndCancel() {
    QFETCH(QString, button);
    QFETCH(int, result);
    AnswerQuestion(button);
    QCOMPARE(MessageBox(nullptr, "Save changes?", "Workbench", MB_YESNOCANCEL | MB_ICONWARNING),
             result);
}

void MainDlgTest::ctrlSCommitsTheTypedNameAndSavesWithoutAsking() {
    QTemporaryDir dir;
    const std::string current = dir.filePath(QStringLiteral("current.pro")).toStdString();
    std::ofstream(current) << "NAME= Current\n";
    ResetProtocol();
    MainWindow w;
    w.chosenPath = current;
    w.Command(IDC_LOAD);
    w.choices.clear();
    auto* box = static_cast<QLineEdit*>(GetDlgItem(w.dlg.Page(0), IDC_PROTOCOL_NAME));
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("Typed  name"));
    QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(w.choices.empty());
    QVERIFY(ReadAll(current).find("NAME= Typed name\n") != std::string::npos);
    QVERIFY(!w.Modified());
    QCOMPARE(w.boxes, QStringList());
}

void MainDlgTest::shortcutsRunTheFileCommands_data() {
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("choice");
    QTest::newRow("Ctrl+O loads") << int(Qt::ControlModifier) << int(Qt::Key_O)
                                  << int(FileChoice::Load);
    QTest::newRow("Ctrl+S without a file asks for a name")
        << int(Qt::ControlModifier) << int(Qt::Key_S) << int(FileChoice::Save);
    QTest::newRow("Ctrl+Shift+S asks for a name")
        << int(Qt::ControlModifier | Qt::ShiftModifier) << int(Qt::Key_S) << int(FileChoice::Save);
}

void MainDlgTest::shortcutsRunTheFileCommands() {
    QFETCH(int, modifiers);
    QFETCH(int, key);
    QFETCH(int, choice);
    ResetProtocol();
    MainWindow w;
    QTest::keyClick(w.wnd, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(w.choices, std::vector<FileChoice>{FileChoice(choice)});
}

void MainDlgTest::fileGivenAtStartIsLoaded_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("readable");
    QTest::newRow("demo") << QStringLiteral(ISO_EXAMPLES_DIR "/demo.pro") << true;
    QTest::newRow("missing") << QDir::tempPath() + "/no-such-folder-iso/x.pro" << false;
}

void MainDlgTest::fileGivenAtStartIsLoaded() {
    QFETCH(QString, file);
    QFETCH(bool, readable);
    ResetProtocol();
    MainWindow w(file.toStdString());
    if (readable) {
        QTRY_COMPARE(w.Title(), TitleOf("demo.pro"));
        QCOMPARE(std::string(TheProtocol().name), std::string("Demo host protocol"));
        QCOMPARE(GetWindowText(GetDlgItem(w.dlg.Page(0), IDC_PROTOCOL_NAME)),
                 std::string("Demo host protocol"));
        QVERIFY(!w.Modified());
        QCOMPARE(w.boxes, QStringList());
    } else {
        QTRY_COMPARE(w.boxes.size(), 1);
        QVERIFY2(w.boxes[0].contains(file), qPrintable(w.boxes[0]));
        QCOMPARE(w.Title(), TitleOf("Untitled"));
        QCOMPARE(std::string(TheProtocol().name), std::string());
    }
}

namespace {

// Drags a file over the widget and drops it there; false when the widget refuses it.
bool Drop(QWidget* target, const QString& file) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

}  // namespace

void MainDlgTest::droppedProtocolFileIsLoaded() {
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.pro"));
    std::ofstream(other.toStdString()) << "NAME= Other\n";
    ResetProtocol();
    MainWindow w;
    QWidget* nameBox = GetDlgItem(w.dlg.Page(0), IDC_PROTOCOL_NAME);
    QVERIFY(!Drop(w.wnd, dir.filePath(QStringLiteral("notes.txt"))));
    QVERIFY(Drop(nameBox, QStringLiteral(ISO_EXAMPLES_DIR "/demo.pro")));
    QTRY_COMPARE(w.Title(), TitleOf("demo.pro"));
    QCOMPARE(GetWindowText(nameBox), std::string("Demo host protocol"));

    // Asked first when the definition has changed; Cancel keeps it.
    w.Rename(QStringLiteral("Changed"));
    w.answer = IDCANCEL;
    QVERIFY(Drop(w.wnd, other));
    QTRY_COMPARE(w.questions.size(), 1);
    QCOMPARE(std::string(TheProtocol().name), std::string("Changed"));
    QCOMPARE(w.Title(), TitleOf("demo.pro"));
}

namespace {

// Notes the folder the file dialog about to open shows, then cancels it.
void NoteFolder(QString& folder, int attempt = 0, int chain = 0) {
    if (attempt == 0) chain = ++driverChain;
    Later(chain, [&folder, attempt, chain] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (attempt < 50) NoteFolder(folder, attempt + 1, chain);
            return;
        }
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
}

}  // namespace

void MainDlgTest::fileDialogsStartInTheCurrentFilesFolderElseTheLastUsed() {
    QTemporaryDir used;
    QTemporaryDir other;
    QSettings().clear();
    QStringList seen;
    std::string path;
    DriveFileDialog(used.filePath(QStringLiteral("a.pro")), seen);
    QVERIFY(ChooseProtocolFile(nullptr, FileChoice::Save, path));
    // Kept where the next run reads it.
    QSettings().sync();
    QCOMPARE(QSettings().value(QStringLiteral("files/lastFolder")).toString(), used.path());

    QString folder;
    path.clear();
    NoteFolder(folder);
    QVERIFY(!ChooseProtocolFile(nullptr, FileChoice::Load, path));
    QCOMPARE(folder, used.path());

    path = other.filePath(QStringLiteral("current.pro")).toStdString();
    NoteFolder(folder);
    QVERIFY(!ChooseProtocolFile(nullptr, FileChoice::Save, path));
    QCOMPARE(folder, other.path());
}

QTEST_MAIN(MainDlgTest)
#include "main_dlg_test.moc"
