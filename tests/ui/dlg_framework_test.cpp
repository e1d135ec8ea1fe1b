// The window layer: messages reach the dialog object's operations with their arguments, at the
// moments Win32 delivers them, and the templates become the controls they describe.
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QtTest>

#include <string>
#include <vector>

#include "support/auto_buff.h"
#include "ui/controls.h"
#include "ui/dlg_base.h"
#include "ui/dlg_template.h"
#include "ui/dlg_window.h"
#include "ui/window_text.h"

namespace {

// Writes down every operation called, with its arguments.
class RecordingDlg : public DlgBase {
  public:
    std::vector<QString> calls;
    INT_PTR notifyResult = 0;
    bool allowClose = true;
    HWND list = nullptr;
    HWND tab = nullptr;

    INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param) override {
        calls.push_back(QStringLiteral("init %1 %2").arg(focus != 0).arg(param == LPARAM(this)));
        (void)wnd;
        return 7;
    }
    INT_PTR OnNotify(HWND, int id, NMHDR* h) override {
        QString call = QStringLiteral("notify %1 %2").arg(id).arg(h->code);
        if (h->code == LVN_KEYDOWN) {
            call += QStringLiteral(" vk=%1").arg(reinterpret_cast<NMLVKEYDOWN*>(h)->wVKey);
        }
        if (list != nullptr && h->hwndFrom == list)
            call += QStringLiteral(" sel=%1").arg(ListGetNextSelected(list));
        if (tab != nullptr && h->hwndFrom == tab)
            call += QStringLiteral(" cur=%1").arg(TabGetCurSel(tab));
        calls.push_back(call);
        return notifyResult;
    }
    INT_PTR OnMouseMove(HWND, int x, int y, WPARAM keys) override {
        calls.push_back(QStringLiteral("mousemove %1 %2 %3").arg(x).arg(y).arg(keys));
        return 5;
    }
    INT_PTR OnLButtonUp(HWND, int x, int y, WPARAM keys) override {
        calls.push_back(QStringLiteral("lbuttonup %1 %2 %3").arg(x).arg(y).arg(keys));
        return 5;
    }
    INT_PTR OnHScroll(HWND, HWND bar, unsigned request, int position) override {
        calls.push_back(
            QStringLiteral("hscroll %1 %2 %3").arg(bar != nullptr).arg(request).arg(position));
        return 5;
    }
    INT_PTR OnCommand(HWND, unsigned id, HWND control, unsigned code) override {
        calls.push_back(
            QStringLiteral("command %1 %2 %3").arg(id).arg(code).arg(control != nullptr));
        return 5;
    }
    INT_PTR OnSysCommand(HWND, WPARAM command, int x, int y) override {
        calls.push_back(QStringLiteral("syscommand %1 %2 %3").arg(command).arg(x).arg(y));
        return 5;
    }
    INT_PTR OnTimer(HWND, WPARAM id) override {
        calls.push_back(QStringLiteral("timer %1").arg(id));
        return 5;
    }
    INT_PTR OnDestroy(HWND) override {
        calls.push_back(QStringLiteral("destroy"));
        return 5;
    }
    INT_PTR OnAppMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) override {
        calls.push_back(QStringLiteral("app %1 %2 %3").arg(message).arg(wParam).arg(lParam));
        return 5;
    }
    bool CanClose(HWND) override {
        calls.push_back(QStringLiteral("canclose"));
        return allowClose;
    }

    QString Last() const { return calls.empty() ? QString() : calls.back(); }
    QStringList Since(std::size_t from) const {
        QStringList out;
        for (std::size_t i = from; i < calls.size(); ++i)
            out << calls[i];
        return out;
    }
};

// A dialog of a template, shown and active, with its object.
struct Fixture {
    RecordingDlg dlg;
    HWND wnd = nullptr;

    explicit Fixture(int templateId) {
        wnd = CreateDialogParam(templateId, nullptr, &dlg);
        wnd->show();
        wnd->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(wnd));
    }
    ~Fixture() { delete wnd; }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;
};

}  // namespace

class DlgFrameworkTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void messagesReachTheirOperationWithUnpackedArguments_data();
    void messagesReachTheirOperationWithUnpackedArguments();
    void onlyInitAndNotifyResultsAreReturned();
    void dialogWithoutCreationParameterCallsNothing();
    void destroyingTheWindowCallsOnDestroyLast();
    void closeEndsOnlyWhenAllowed();
    void buttonAndCheckClicksArriveAsCommands();
    void editLosingFocusSendsKillFocus();
    void comboStartsUnselectedAndOnlyUserPickNotifies();
    void sortedComboInsertsInTextOrderWithItemData();
    void listKeyArrivesBeforeSelectionMoves();
    void listClickArrivesAfterSelectionChange();
    void programFilledListNotifiesNothing();
    void tabChangeIsAnnouncedWhileOldTabIsCurrent();
    void windowCloseGoesThroughSysCommand();
    void escapeAndEnterDoNotCloseTheDialog_data();
    void escapeAndEnterDoNotCloseTheDialog();
    void templateControlsAreFoundByIdWithTheirState();
    void everyTemplateLabelFitsItsRectangle();
    void dialogFontHasAFamily();
    void modelTextFallsBackToWindows1252_data();
    void modelTextFallsBackToWindows1252();
    void rawTextIsOneBytePerCharacter();
    void loadWindowTextNormalisesBlanks();
};

void DlgFrameworkTest::messagesReachTheirOperationWithUnpackedArguments_data() {
    QTest::addColumn<uint>("message");
    QTest::addColumn<qulonglong>("wParam");
    QTest::addColumn<qlonglong>("lParam");
    QTest::addColumn<QString>("call");

    QTest::newRow("mouse move left of and above the client area is negative")
        << uint(WM_MOUSEMOVE) << qulonglong(MK_LBUTTON) << qlonglong(MakeLParam(-5, -7))
        << "mousemove -5 -7 1";
    QTest::newRow("left button up with coordinates")
        << uint(WM_LBUTTONUP) << qulonglong(MK_SHIFT) << qlonglong(MakeLParam(300, 2))
        << "lbuttonup 300 2 4";
    QTest::newRow("command halves are unsigned 16-bit")
        << uint(WM_COMMAND) << qulonglong(MakeWParam(0xFFFF, 0x8001)) << qlonglong(0)
        << "command 65535 32769 0";
    QTest::newRow("horizontal scroll position is sign-extended")
        << uint(WM_HSCROLL) << qulonglong(MakeWParam(5, 0xFFFE)) << qlonglong(0)
        << "hscroll 0 5 -2";
    QTest::newRow("system command keeps the whole wParam")
        << uint(WM_SYSCOMMAND) << qulonglong(SC_CLOSE) << qlonglong(MakeLParam(-1, 300))
        << "syscommand 61536 -1 300";
    QTest::newRow("timer id") << uint(WM_TIMER) << qulonglong(7) << qlonglong(0) << "timer 7";
    QTest::newRow("first application message")
        << uint(0x8000) << qulonglong(1) << qlonglong(2) << "app 32768 1 2";
    QTest::newRow("last application message")
        << uint(0xBFFF) << qulonglong(3) << qlonglong(-4) << "app 49151 3 -4";
    QTest::newRow("below the application range is ignored")
        << uint(0x7FFF) << qulonglong(0) << qlonglong(0) << "";
    QTest::newRow("above the application range is ignored")
        << uint(0xC000) << qulonglong(0) << qlonglong(0) << "";
    QTest::newRow("font message is left to the system")
        << uint(WM_SETFONT) << qulonglong(0) << qlonglong(0) << "";
}

void DlgFrameworkTest::messagesReachTheirOperationWithUnpackedArguments() {
    QFETCH(uint, message);
    QFETCH(qulonglong, wParam);
    QFETCH(qlonglong, lParam);
    QFETCH(QString, call);
    RecordingDlg dlg;
    HWND wnd = CreateDialogParam(IDD_PARSER, nullptr, &dlg);
    const std::size_t before = dlg.calls.size();
    SendMessage(wnd, message, wParam, lParam);
    QCOMPARE(dlg.Since(before), call.isEmpty() ? QStringList() : QStringList{call});
    delete wnd;
}

void DlgFrameworkTest::onlyInitAndNotifyResultsAreReturned() {
    RecordingDlg dlg;
    dlg.notifyResult = 9;
    HWND wnd = CreateDialogParam(IDD_PARSER, nullptr, &dlg);
    QCOMPARE(dlg.calls.front(), QStringLiteral("init 1 1"));
    QCOMPARE(SendMessage(wnd, WM_INITDIALOG, 0, LPARAM(&dlg)), INT_PTR(7));
    NMHDR header{nullptr, 1, NM_CLICK};
    QCOMPARE(SendMessage(wnd, WM_NOTIFY, 1, LPARAM(&header)), INT_PTR(9));
    QCOMPARE(SendMessage(wnd, WM_COMMAND, 1, 0), INT_PTR(0));
    QCOMPARE(SendMessage(wnd, WM_TIMER, 1, 0), INT_PTR(0));
    QCOMPARE(SendMessage(wnd, 0x8000, 0, 0), INT_PTR(0));
    delete wnd;
}

void DlgFrameworkTest::dialogWithoutCreationParameterCallsNothing() {
    HWND wnd = CreateDialogParam(IDD_PARSER, nullptr, nullptr);
    QVERIFY(wnd != nullptr);
    QCOMPARE(SendMessage(wnd, WM_COMMAND, IDC_PARSE, 0), INT_PTR(0));
    auto* parse = qobject_cast<QPushButton*>(GetDlgItem(wnd, IDC_PARSE));
    QVERIFY(parse != nullptr);
    parse->click();  // nothing to route to: must simply not crash
    delete wnd;
}

void DlgFrameworkTest::destroyingTheWindowCallsOnDestroyLast() {
    RecordingDlg dlg;
    HWND wnd = CreateDialogParam(IDD_PARSER, nullptr, &dlg);
    QVERIFY(DestroyWindow(wnd));
    QCOMPARE(dlg.Last(), QStringLiteral("destroy"));
    QVERIFY(!IsWindow(wnd));
}

void DlgFrameworkTest::closeEndsOnlyWhenAllowed() {
    Fixture f(IDD_PARSER);
    f.dlg.allowClose = false;
    QCOMPARE(f.dlg.Close(f.wnd, false), INT_PTR(1));
    QVERIFY(!DialogWindow::From(f.wnd)->Ended());
    QCOMPARE(f.dlg.Last(), QStringLiteral("canclose"));
    f.dlg.allowClose = true;
    f.dlg.Close(f.wnd, false);
    QVERIFY(DialogWindow::From(f.wnd)->Ended());
    QCOMPARE(DialogWindow::From(f.wnd)->Result(), INT_PTR(0));

    Fixture g(IDD_PARSER);
    g.dlg.allowClose = false;
    g.dlg.Close(g.wnd, true);
    QVERIFY(DialogWindow::From(g.wnd)->Ended());
    QCOMPARE(DialogWindow::From(g.wnd)->Result(), INT_PTR(1));
}

void DlgFrameworkTest::buttonAndCheckClicksArriveAsCommands() {
    Fixture f(IDD_PARSER);
    QTest::mouseClick(GetDlgItem(f.wnd, IDC_PARSE), Qt::LeftButton);
    QCOMPARE(f.dlg.Last(), QStringLiteral("command %1 %2 1").arg(IDC_PARSE).arg(BN_CLICKED));
    auto* hexa = qobject_cast<QCheckBox*>(GetDlgItem(f.wnd, IDC_HEXA));
    QTest::mouseClick(hexa, Qt::LeftButton, {}, QPoint(hexa->width() - 6, hexa->height() / 2));
    QCOMPARE(f.dlg.Last(), QStringLiteral("command %1 %2 1").arg(IDC_HEXA).arg(BN_CLICKED));
    QCOMPARE(GetCheck(hexa), BST_CHECKED);
}

void DlgFrameworkTest::editLosingFocusSendsKillFocus() {
    Fixture f(IDD_FLDDEF);
    HWND name = GetDlgItem(f.wnd, IDC_PROTOCOL_NAME);
    SetFocus(name);
    QTRY_VERIFY(name->hasFocus());
    const std::size_t before = f.dlg.calls.size();
    SetFocus(GetDlgItem(f.wnd, IDC_DESCRIPTION));
    QVERIFY(f.dlg.Since(before).contains(
        QStringLiteral("command %1 %2 1").arg(IDC_PROTOCOL_NAME).arg(EN_KILLFOCUS)));
}

void DlgFrameworkTest::comboStartsUnselectedAndOnlyUserPickNotifies() {
    Fixture f(IDD_FLDDEF);
    HWND combo = GetDlgItem(f.wnd, IDC_LEN_ENC);
    const std::size_t before = f.dlg.calls.size();
    for (const char* name : {"BIGEND", "PBCD", "HEX"})
        ComboAddString(combo, name);
    QCOMPARE(ComboGetCurSel(combo), CB_ERR);
    QCOMPARE(ComboSetCurSel(combo, 1), 1);
    QCOMPARE(ComboSetCurSel(combo, -1), CB_ERR);
    QCOMPARE(ComboGetCurSel(combo), CB_ERR);
    QCOMPARE(f.dlg.Since(before), QStringList());  // nothing the program did is a pick

    ComboSetCurSel(combo, 0);
    SetFocus(combo);
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(ComboGetCurSel(combo), 1);
    QCOMPARE(f.dlg.Last(), QStringLiteral("command %1 %2 1").arg(IDC_LEN_ENC).arg(CBN_SELCHANGE));
}

void DlgFrameworkTest::sortedComboInsertsInTextOrderWithItemData() {
    Fixture f(IDD_MSGDEF);
    HWND combo = GetDlgItem(f.wnd, IDC_MTI);
    SetWindowText(combo, "12");
    for (int slot : {0, 1, 2}) {
        const char* mti[] = {"0800", "0200", "0420"};
        ComboSetItemData(combo, ComboAddString(combo, mti[slot]), slot);
    }
    QCOMPARE(ComboGetItemText(combo, 0), std::string("0200"));
    QCOMPARE(ComboGetItemData(combo, 0), LPARAM(1));
    QCOMPARE(ComboGetItemText(combo, 2), std::string("0800"));
    QCOMPARE(ComboGetItemData(combo, 2), LPARAM(0));
    QCOMPARE(ComboGetItemData(combo, 3), LPARAM(CB_ERR));
    QCOMPARE(ComboGetCurSel(combo), CB_ERR);
    QCOMPARE(GetWindowText(combo), std::string("12"));  // adding keeps the typed text
}

namespace {

void FillList(HWND list, int rows) {
    ListInsertColumn(list, 0, "Description", 200, LVCFMT_LEFT);
    ListInsertColumn(list, 1, "N\u00B0", 50, LVCFMT_RIGHT);
    for (int r = 0; r < rows; ++r) {
        ListInsertItem(list, r, ("row " + std::to_string(r)).c_str(), 10 + r);
        ListSetItemText(list, r, 1, std::to_string(10 + r).c_str());
    }
}

}  // namespace

void DlgFrameworkTest::listKeyArrivesBeforeSelectionMoves() {
    Fixture f(IDD_PARSER);
    f.dlg.list = GetDlgItem(f.wnd, IDC_LIST);
    FillList(f.dlg.list, 3);
    ListSetSelected(f.dlg.list, 0);
    SetFocus(f.dlg.list);
    const std::size_t before = f.dlg.calls.size();
    QTest::keyClick(f.dlg.list, Qt::Key_Down);
    const QString id = QString::number(IDC_LIST);
    QCOMPARE(f.dlg.Since(before),
             (QStringList{
                 QStringLiteral("notify %1 %2 vk=%3 sel=0").arg(id).arg(LVN_KEYDOWN).arg(VK_DOWN),
                 QStringLiteral("notify %1 %2 sel=1").arg(id).arg(LVN_ITEMCHANGED),
                 QStringLiteral("notify %1 %2 sel=1").arg(id).arg(LVN_ITEMCHANGED)}));
    LPARAM data = 0;
    QVERIFY(ListGetItemData(f.dlg.list, ListGetNextSelected(f.dlg.list), data));
    QCOMPARE(data, LPARAM(11));

    const std::size_t deleteAt = f.dlg.calls.size();
    QTest::keyClick(f.dlg.list, Qt::Key_Delete);
    QCOMPARE(
        f.dlg.Since(deleteAt),
        QStringList{
            QStringLiteral("notify %1 %2 vk=%3 sel=1").arg(id).arg(LVN_KEYDOWN).arg(VK_DELETE)});
}

void DlgFrameworkTest::listClickArrivesAfterSelectionChange() {
    Fixture f(IDD_PARSER);
    f.dlg.list = GetDlgItem(f.wnd, IDC_LIST);
    FillList(f.dlg.list, 3);
    auto* table = qobject_cast<QTableWidget*>(f.dlg.list);
    const QRect cell = table->visualItemRect(table->item(2, 0));
    const std::size_t before = f.dlg.calls.size();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    const QStringList calls = f.dlg.Since(before);
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0], QStringLiteral("notify %1 %2 sel=2").arg(IDC_LIST).arg(LVN_ITEMCHANGED));
    QCOMPARE(calls[1], QStringLiteral("notify %1 %2 sel=2").arg(IDC_LIST).arg(NM_CLICK));
}

void DlgFrameworkTest::programFilledListNotifiesNothing() {
    Fixture f(IDD_PARSER);
    HWND list = GetDlgItem(f.wnd, IDC_LIST);
    FillList(list, 2);
    ListSetSelected(list, 1);
    const std::size_t before = f.dlg.calls.size();
    QVERIFY(ListDeleteAllItems(list));
    FillList(list, 0);
    QCOMPARE(ListInsertItem(list, 0, "again", 5), 0);
    QCOMPARE(f.dlg.Since(before), QStringList());
    QCOMPARE(ListGetNextSelected(list), -1);
    QCOMPARE(ListGetItemText(list, 0, 0), std::string("again"));
}

void DlgFrameworkTest::tabChangeIsAnnouncedWhileOldTabIsCurrent() {
    Fixture f(IDD_MAIN);
    f.dlg.tab = GetDlgItem(f.wnd, IDC_TAB);
    for (int i = 0; i < 3; ++i)
        TabInsertItem(f.dlg.tab, i, ("tab " + std::to_string(i)).c_str());
    TabSetCurSel(f.dlg.tab, 0);
    const std::size_t before = f.dlg.calls.size();
    QTabBar* bar = qobject_cast<QTabWidget*>(f.dlg.tab)->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    QCOMPARE(f.dlg.Since(before),
             (QStringList{QStringLiteral("notify %1 %2 cur=0").arg(IDC_TAB).arg(TCN_SELCHANGING),
                          QStringLiteral("notify %1 %2 cur=2").arg(IDC_TAB).arg(TCN_SELCHANGE)}));
    const std::size_t programmed = f.dlg.calls.size();
    QCOMPARE(TabSetCurSel(f.dlg.tab, 1), 2);
    QCOMPARE(TabGetCurSel(f.dlg.tab), 1);
    QCOMPARE(f.dlg.Since(programmed), QStringList());
}

void DlgFrameworkTest::windowCloseGoesThroughSysCommand() {
    Fixture f(IDD_MAIN);
    QVERIFY(!f.wnd->close());  // the object does not end the dialog: it stays
    QVERIFY(f.dlg.Last().startsWith(QStringLiteral("syscommand %1").arg(SC_CLOSE)));
    QVERIFY(f.wnd->isVisible());
    EndDialog(f.wnd, 1);
    QVERIFY(!f.wnd->isVisible());
}

void DlgFrameworkTest::escapeAndEnterDoNotCloseTheDialog_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void DlgFrameworkTest::escapeAndEnterDoNotCloseTheDialog() {
    QFETCH(int, key);
    Fixture f(IDD_FLDDEF);
    HWND name = GetDlgItem(f.wnd, IDC_PROTOCOL_NAME);
    SetFocus(name);
    QTest::keyClick(name, Qt::Key(key));
    QTest::keyClick(f.wnd, Qt::Key(key));
    QVERIFY(f.wnd->isVisible());
    QVERIFY(!DialogWindow::From(f.wnd)->Ended());
}

void DlgFrameworkTest::templateControlsAreFoundByIdWithTheirState() {
    RecordingDlg dlg;
    HWND wnd = CreateDialogParam(IDD_MSGDEF, nullptr, &dlg);
    QVERIFY(qobject_cast<QComboBox*>(GetDlgItem(wnd, IDC_MTI))->isEditable());
    QVERIFY(!IsWindowEnabled(GetDlgItem(wnd, IDC_DELETE_MSG)));
    QVERIFY(!IsWindowEnabled(GetDlgItem(wnd, IDC_RETITLE)));
    QVERIFY(!IsWindowEnabled(GetDlgItem(wnd, IDC_APPLY)));
    QVERIFY(IsWindowEnabled(GetDlgItem(wnd, IDC_ADD_MSG)));
    QVERIFY(GetDlgItem(wnd, IDC_STATUS)->isHidden());
    QVERIFY(GetDlgItem(wnd, IDC_PARSE) == nullptr);
    delete wnd;

    wnd = CreateDialogParam(IDD_FLDDEF, nullptr, &dlg);
    for (int id = IDC_PROTOCOL_NAME; id <= IDC_APPLY; ++id)
        QVERIFY2(GetDlgItem(wnd, id) != nullptr, qPrintable(QString::number(id)));
    QCOMPARE(qobject_cast<QLineEdit*>(GetDlgItem(wnd, IDC_LENGTH))->alignment() & Qt::AlignRight,
             Qt::AlignRight);
    const DialogUnits units = DialogFontUnits();
    QCOMPARE(wnd->size(), QSize(units.X(470), units.Y(290)));
    QCOMPARE(GetDlgItem(wnd, IDC_LIST)->geometry(), units.ToPixels(4, 71, 462, 154));
    QCOMPARE(GetDlgItem(wnd, IDC_TYPE)->height(), GetDlgItem(wnd, IDC_TYPE)->sizeHint().height());
    delete wnd;
}

void DlgFrameworkTest::everyTemplateLabelFitsItsRectangle() {
    for (int id : {IDD_MAIN, IDD_FLDDEF, IDD_MSGDEF, IDD_PARSER}) {
        RecordingDlg dlg;
        HWND wnd = CreateDialogParam(id, nullptr, &dlg);
        const QList<QWidget*> controls = wnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* control : controls) {
            const QString name = WindowQText(control);
            if (auto* label = qobject_cast<QLabel*>(control)) {
                const QFontMetrics metrics(label->font());
                QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(),
                         qPrintable(name));
                QVERIFY2(metrics.height() <= label->height(), qPrintable(name));
            }
            if (auto* check = qobject_cast<QCheckBox*>(control)) {
                QVERIFY2(check->sizeHint().width() <= check->width(), qPrintable(name));
            }
            QVERIFY2(wnd->rect().contains(control->geometry()), qPrintable(name));
            if (qobject_cast<QGroupBox*>(control) != nullptr ||
                dynamic_cast<TabControl*>(control) != nullptr)
                continue;
            for (QWidget* other : controls) {
                if (other == control || qobject_cast<QGroupBox*>(other) != nullptr ||
                    dynamic_cast<TabControl*>(other) != nullptr) {
                    continue;
                }
                QVERIFY2(!control->geometry().intersects(other->geometry()),
                         qPrintable(name + QStringLiteral(" overlaps ") + WindowQText(other) +
                                    QString::number(GetDlgCtrlID(other))));
            }
        }
        delete wnd;
    }
}

void DlgFrameworkTest::dialogFontHasAFamily() {
    RecordingDlg dlg;
    HWND wnd = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
    QVERIFY(!QFontInfo(wnd->font()).family().isEmpty());
    QVERIFY(DialogFontUnits().charWidth > 0);
    delete wnd;
}

void DlgFrameworkTest::modelTextFallsBackToWindows1252_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8 stays UTF-8")
        << QByteArray("caf\xC3\xA9 N\xC2\xB0") << QStringLiteral("café N°");
    QTest::newRow("Windows-1252 letter") << QByteArray("caf\xE9") << QStringLiteral("café");
    QTest::newRow("Windows-1252 euro and quotes")
        << QByteArray("\x80 \x93x\x94") << QStringLiteral("€ “x”");
    QTest::newRow("plain ASCII") << QByteArray("ISO 8583") << QStringLiteral("ISO 8583");
}

void DlgFrameworkTest::modelTextFallsBackToWindows1252() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(FromModelText(bytes.constData()), shown);
}

void DlgFrameworkTest::rawTextIsOneBytePerCharacter() {
    // Windows-1252 both ways; what the code page lacks becomes '?'.
    QCOMPARE(ToRawBytes(QStringLiteral("0200\u00E9\u20AC\u0100")), std::string("0200\xE9\x80?"));
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    const QString text = FromRawBytes(bytes.data(), 256);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.mid(0x80, 4), QStringLiteral("\u20AC\u0081\u201A\u0192"));
    QCOMPARE(text.at(0x9F), QChar(0x0178));
    QCOMPARE(text.at(0xE9), QChar(0x00E9));
    QCOMPARE(ToRawBytes(text), bytes);
}

void DlgFrameworkTest::loadWindowTextNormalisesBlanks() {
    RecordingDlg dlg;
    HWND wnd = CreateDialogParam(IDD_MSGDEF, nullptr, &dlg);
    HWND mask = GetDlgItem(wnd, IDC_MANDATORY_MASK);
    SetWindowText(mask, "  A \t B  ");
    AutoBuff buffer;
    QVERIFY(LoadWindowText(buffer, mask));
    QCOMPARE(std::string(buffer.Text()), std::string("A B"));
    SetWindowText(mask, "");
    QVERIFY(LoadWindowText(buffer, mask));
    QCOMPARE(buffer.Length(), 0);
    delete wnd;
}

QTEST_MAIN(DlgFrameworkTest)
#include "dlg_framework_test.moc"
