// The main window at one scale factor (its ctest entry sets it) on a small and a large screen:
// it fits, every control can be reached, its controls follow it when it grows, and the
// keyboard and the wheel do what a user expects of the tabs, lists and drop-down lists.
#include <fstream>

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "model/protocol.h"
#include "support/error_balloon.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/diagnosis_window.h"
#include "ui/dlg_window.h"
#include "ui/main_dlg.h"
#include "ui/page_area.h"
#include "ui/window_text.h"

namespace {

struct MainWindow {
    MainDlg dlg;
    HWND wnd = nullptr;
    QStringList refreshes;

    explicit MainWindow(QScreen* screen = QGuiApplication::primaryScreen()) {
        wnd = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
        dlg.SetRefreshObserver([this](const char* name) { refreshes << QString::fromUtf8(name); });
        wnd->setScreen(screen);
        wnd->move(screen->availableGeometry().topLeft());
        wnd->show();
        wnd->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(wnd));
    }
    ~MainWindow() {
        HideErrorBalloon();
        delete wnd;
    }
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    DialogWindow* Dialog() const { return DialogWindow::From(wnd); }
    PageArea* Area() const { return Dialog()->Pages(); }
    QWidget* Item(int page, int id) const { return GetDlgItem(dlg.Page(page), id); }
    void ShowTab(int index) {
        static_cast<QTabWidget*>(dlg.Tab())->setCurrentIndex(index);
        QTRY_VERIFY(dlg.Page(index)->isVisible());
    }
    // In the main window's coordinates.
    QRect Where(const QWidget* w) const { return {w->mapTo(wnd, QPoint()), w->size()}; }
    void ResizeTo(QSize size) {
        wnd->resize(size);
        QTRY_COMPARE(wnd->size(), size);
        for (int tab : {2, 1, 0})
            ShowTab(tab);  // a hidden page is laid out when shown
    }
};

// A definition with more data elements than the list shows at once.
std::string WriteLongDefinition(const QTemporaryDir& dir) {
    const std::string path = dir.filePath(QStringLiteral("long.pro")).toStdString();
    std::ofstream out(path);
    for (int n = 2; n <= 90; ++n)
        out << "FIELD= " << n << "; N; 6; 0; N; Element " << n << "\n";
    return path;
}

void LoadLongDefinition(MainWindow& w, const QTemporaryDir& dir) {
    const std::string path = WriteLongDefinition(dir);
    SetFileChooser([&](HWND, FileChoice, std::string& chosen) {
        chosen = path;
        return true;
    });
    QTest::mouseClick(GetDlgItem(w.wnd, IDC_LOAD), Qt::LeftButton);
    SetFileChooser({});
}

}  // namespace

class MainWindowScaleTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void opensToFitEachScreenWithEveryControlReachable();
    void growingWindowGrowsTheListsAndKeepsButtonsInTheCorners();
    void tabKeysChangeTabsAsAClickDoes_data();
    void tabKeysChangeTabsAsAClickDoes();
    void listsGoRowByRowFromTheKeyboard();
    void wheelLeavesAnUnfocusedComboAndScrollsAList();
    void balloonGoesWhenTheWindowMovesOrAShortcutIsUsed();
    void diagnosisShowsEightRowsOfTheByteMapAndItsFrameOnTheScreen();
};

void MainWindowScaleTest::opensToFitEachScreenWithEveryControlReachable() {
    QCOMPARE(QGuiApplication::screens().size(), 2);
    for (QScreen* screen : QGuiApplication::screens()) {
        MainWindow w(screen);
        const QString where =
            QStringLiteral("%1 at %2").arg(screen->name()).arg(qApp->devicePixelRatio());
        const QSize room = screen->availableGeometry().size() - w.Dialog()->FrameAllowance();
        const QSize least = w.Dialog()->TemplateSize().boundedTo(room);
        QVERIFY2(w.wnd->width() <= room.width() && w.wnd->height() <= room.height(),
                 qPrintable(where));
        QCOMPARE(w.wnd->minimumSize(), least);
        QVERIFY2(w.wnd->width() >= least.width() && w.wnd->height() >= least.height(),
                 qPrintable(where));
        if (least == w.Dialog()->TemplateSize()) QCOMPARE(w.wnd->size(), least);
        for (int id : {IDC_LOAD, IDC_SAVE})
            QVERIFY2(w.wnd->rect().contains(w.Where(GetDlgItem(w.wnd, id))), qPrintable(where));

        const QRect view = w.Where(w.Area()->viewport());
        QVERIFY(w.wnd->rect().contains(view));
        // What the area does not show, its scroll bars reach.
        const QWidget* host = w.Area()->widget();
        const QSize hidden = (host->size() - w.Area()->viewport()->size()).expandedTo({0, 0});
        QCOMPARE(w.Area()->horizontalScrollBar()->maximum(), hidden.width());
        QCOMPARE(w.Area()->verticalScrollBar()->maximum(), hidden.height());
        if (least == w.Dialog()->TemplateSize()) QCOMPARE(hidden, QSize(0, 0));
        for (int tab = 0; tab < 3; ++tab) {
            w.ShowTab(tab);
            for (QWidget* c : w.dlg.Page(tab)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (c->isHidden() || c->isWindow()) continue;
                const QString name =
                    where + QStringLiteral(" tab %1 control %2").arg(tab).arg(GetDlgCtrlID(c));
                QVERIFY2(host->rect().contains(QRect(c->mapTo(host, QPoint()), c->size())),
                         qPrintable(name));
            }
        }
    }
}

void MainWindowScaleTest::growingWindowGrowsTheListsAndKeepsButtonsInTheCorners() {
    MainWindow w;
    const QSize size = w.Dialog()->TemplateSize();
    w.ResizeTo(size);
    struct Watched {
        int page, id;  // page -1: the main window's own control
        QPoint moves;  // of (200, 150) that the window grows by
        QSize grows;
    };
    const Watched watched[] = {
        {-1, IDC_LOAD, {0, 150}, {0, 0}},         {-1, IDC_SAVE, {200, 150}, {0, 0}},
        {0, IDC_PROTOCOL_NAME, {0, 0}, {200, 0}}, {0, IDC_MTI_ENC, {0, 0}, {0, 0}},
        {0, IDC_LIST, {0, 0}, {200, 150}},        {0, IDC_DESCRIPTION, {0, 150}, {200, 0}},
        {0, IDC_APPLY, {200, 150}, {0, 0}},       {1, IDC_TITLE, {0, 0}, {200, 0}},
        {1, IDC_LIST, {0, 0}, {200, 150}},        {1, IDC_MANDATORY_MASK, {0, 150}, {0, 0}},
        {1, IDC_APPLY, {200, 150}, {0, 0}},       {2, IDC_MESSAGE, {0, 0}, {200, 0}},
        {2, IDC_PARSE, {0, 0}, {0, 0}},           {2, IDC_LIST, {0, 0}, {200, 150}},
    };
    auto control = [&](const Watched& c) {
        return c.page < 0 ? GetDlgItem(w.wnd, c.id) : w.Item(c.page, c.id);
    };
    QList<QRect> before;
    for (const Watched& c : watched)
        before << w.Where(control(c));

    w.ResizeTo(size + QSize(200, 150));
    for (int i = 0; i < int(std::size(watched)); ++i) {
        const QRect now = w.Where(control(watched[i]));
        const QString name =
            QStringLiteral("page %1 control %2").arg(watched[i].page).arg(watched[i].id);
        QCOMPARE(now.topLeft() - before[i].topLeft(), watched[i].moves);
        QVERIFY2(now.size() - before[i].size() == watched[i].grows, qPrintable(name));
    }
    QVERIFY(!w.Area()->verticalScrollBar()->isVisible());
    QVERIFY(!w.Area()->horizontalScrollBar()->isVisible());
}

void MainWindowScaleTest::tabKeysChangeTabsAsAClickDoes_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("to");
    const int ctrl = Qt::ControlModifier;
    const int ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::newRow("Ctrl+Tab from a box") << 0 << IDC_PROTOCOL_NAME << int(Qt::Key_Tab) << ctrl << 1;
    QTest::newRow("Ctrl+Shift+Tab goes round to the last")
        << 0 << IDC_PROTOCOL_NAME << int(Qt::Key_Backtab) << ctrlShift << 2;
    QTest::newRow("Ctrl+Tab from a list") << 1 << IDC_LIST << int(Qt::Key_Tab) << ctrl << 2;
    QTest::newRow("Ctrl+Tab from the message box goes round to the first")
        << 2 << IDC_MESSAGE << int(Qt::Key_Tab) << ctrl << 0;
    QTest::newRow("Ctrl+PgDown") << 0 << IDC_MTI_ENC << int(Qt::Key_PageDown) << ctrl << 1;
    QTest::newRow("Ctrl+PgUp from a list") << 1 << IDC_LIST << int(Qt::Key_PageUp) << ctrl << 0;
    QTest::newRow("Ctrl+PgUp from the message box")
        << 2 << IDC_MESSAGE << int(Qt::Key_PageUp) << ctrl << 1;
}

void MainWindowScaleTest::tabKeysChangeTabsAsAClickDoes() {
    QFETCH(int, from);
    QFETCH(int, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, to);
    MainWindow w;
    w.ShowTab(from);
    QWidget* control = w.Item(from, focus);
    control->setFocus();
    QTRY_VERIFY(control->hasFocus());
    w.refreshes.clear();
    QTest::keyClick(control, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(TabGetCurSel(w.dlg.Tab()), to);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(IsWindowVisible(w.dlg.Page(i)), i == to);
    // Leaving the Data Elements tab refreshes the Messages page's list, as a click does.
    QCOMPARE(w.refreshes, from == 0 ? QStringList{"MsgDefPg::FillFieldList"} : QStringList());
    if (auto* edit = qobject_cast<QPlainTextEdit*>(control))
        QCOMPARE(edit->toPlainText(), QString());
}

void MainWindowScaleTest::listsGoRowByRowFromTheKeyboard() {
    QTemporaryDir dir;
    MainWindow w;
    LoadLongDefinition(w, dir);
    HWND list = w.Item(0, IDC_LIST);
    QCOMPARE(ListGetItemCount(list), 89);
    QWidget* before = w.Item(0, IDC_BIN_ENC);
    before->setFocus();
    QTRY_VERIFY(before->hasFocus());
    QTest::keyClick(before, Qt::Key_Tab);
    QTRY_VERIFY(list->hasFocus());
    QCOMPARE(ListGetNextSelected(list), -1);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(ListGetNextSelected(list), 0);
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(ListGetNextSelected(list), 88);
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(ListGetNextSelected(list), 0);
    QCOMPARE(static_cast<QTableWidget*>(list)->currentColumn(), 0);
    TheProtocol().Reset();
}

void MainWindowScaleTest::wheelLeavesAnUnfocusedComboAndScrollsAList() {
    QTemporaryDir dir;
    MainWindow w;
    LoadLongDefinition(w, dir);
    auto turn = [](QWidget* target) {
        const QPoint at(target->width() / 2, target->height() / 2);
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    };
    QWidget* lengths = w.Item(0, IDC_LEN_ENC);
    w.Item(0, IDC_PROTOCOL_NAME)->setFocus();
    const int picked = ComboGetCurSel(lengths);
    const Encoding stored = TheProtocol().lenEnc;
    turn(lengths);
    QCOMPARE(ComboGetCurSel(lengths), picked);
    QCOMPARE(TheProtocol().lenEnc, stored);

    auto* list = static_cast<QTableWidget*>(w.Item(0, IDC_LIST));
    QCOMPARE(list->verticalScrollBar()->value(), 0);
    QTRY_VERIFY(list->verticalScrollBar()->maximum() > 0);
    turn(list->viewport());
    QVERIFY(list->verticalScrollBar()->value() > 0);
    TheProtocol().Reset();
}

void MainWindowScaleTest::balloonGoesWhenTheWindowMovesOrAShortcutIsUsed() {
    MainWindow w;
    QWidget* name = w.Item(0, IDC_PROTOCOL_NAME);
    ShowErrorBalloon(name);
    QVERIFY(ErrorBalloonWindow() != nullptr);
    w.wnd->move(w.wnd->pos() + QPoint(30, 20));
    QTRY_VERIFY(ErrorBalloonWindow() == nullptr);

    // Ctrl+Tab only dismisses it, as Tab does; Ctrl+PgDown dismisses it and acts.
    ShowErrorBalloon(name);
    QTest::keyClick(name, Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(ErrorBalloonWindow() == nullptr);
    QCOMPARE(TabGetCurSel(w.dlg.Tab()), 0);
    ShowErrorBalloon(name);
    QTest::keyClick(name, Qt::Key_PageDown, Qt::ControlModifier);
    QVERIFY(ErrorBalloonWindow() == nullptr);
    QCOMPARE(TabGetCurSel(w.dlg.Tab()), 1);
}

void MainWindowScaleTest::diagnosisShowsEightRowsOfTheByteMapAndItsFrameOnTheScreen() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QStringLiteral("windows"));
    QScreen* desktop = QGuiApplication::screens().last();
    MainWindow w(desktop);
    HWND parser = w.dlg.Page(2);
    SetWindowText(GetDlgItem(parser, IDC_MESSAGE), "0200");
    QTest::mouseClick(GetDlgItem(parser, IDC_PARSE), Qt::LeftButton);
    w.dlg.Parser().OpenDiagnosis();
    DiagnosisWindow* window = w.dlg.Parser().DiagnosisView();
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const int line = QFontMetrics(window->Dump()->font()).lineSpacing();
    QVERIFY2(window->Dump()->viewport()->height() >= 8 * line,
             qPrintable(QStringLiteral("%1 px for lines of %2")
                            .arg(window->Dump()->viewport()->height())
                            .arg(line)));
    QVERIFY(desktop->availableGeometry().contains(window->frameGeometry()));
    delete window;
}

QTEST_MAIN(MainWindowScaleTest)
#include "main_window_scale_test.moc"
