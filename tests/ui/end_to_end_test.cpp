// The whole program as a user meets it: load the demo definition, look at its data elements and
// messages, paste a demo message on the Parser page, parse it and pick out one of its fields.
#include <fstream>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include "support/error_balloon.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/main_dlg.h"

namespace {

const std::string kExamples = ISO_EXAMPLES_DIR;

QString FirstDemoMessage() {
    std::ifstream in(kExamples + "/demo-messages.hex");
    std::string line;
    std::getline(in, line);
    return QString::fromStdString(line);
}

QList<LPARAM> RowData(HWND list) {
    QList<LPARAM> data;
    for (int row = 0; row < ListGetItemCount(list); ++row) {
        LPARAM d = -1;
        ListGetItemData(list, row, d);
        data << d;
    }
    return data;
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void loadDemoThenParseAMessageAndSelectAField();
};

void EndToEndTest::loadDemoThenParseAMessageAndSelectAField() {
    MainDlg dlg;
    HWND wnd = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
    wnd->show();
    wnd->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(wnd));
    QTabBar* tabs = static_cast<QTabWidget*>(dlg.Tab())->tabBar();
    auto clickTab = [&](int index) {
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    };

    // "Load ...", the file chooser answering with the demo definition.
    bool chooserAsked = false;
    SetFileChooser([&](HWND, FileChoice choice, std::string& path) {
        chooserAsked = choice == FileChoice::Load;
        path = kExamples + "/demo.pro";
        return true;
    });
    QTest::mouseClick(GetDlgItem(wnd, IDC_LOAD), Qt::LeftButton);
    SetFileChooser({});
    QVERIFY(chooserAsked);

    // The Data Elements page lists the demo's six data elements.
    QCOMPARE(TabGetCurSel(dlg.Tab()), 0);
    QCOMPARE(RowData(GetDlgItem(dlg.Page(0), IDC_LIST)), (QList<LPARAM>{2, 3, 4, 11, 41, 55}));

    // The Messages page knows its two messages and lists the same data elements.
    clickTab(1);
    QVERIFY(IsWindowVisible(dlg.Page(1)));
    auto* mtis = static_cast<QComboBox*>(GetDlgItem(dlg.Page(1), IDC_MTI));
    QCOMPARE(mtis->count(), 2);
    QCOMPARE(mtis->itemText(0), QStringLiteral("0200"));
    QCOMPARE(mtis->itemText(1), QStringLiteral("0210"));
    QCOMPARE(RowData(GetDlgItem(dlg.Page(1), IDC_LIST)), (QList<LPARAM>{2, 3, 4, 11, 41, 55}));

    // On the Parser page: paste the first demo message as hexadecimal digits, and parse.
    clickTab(2);
    HWND parser = dlg.Page(2);
    QVERIFY(IsWindowVisible(parser));
    auto* edit = static_cast<QPlainTextEdit*>(GetDlgItem(parser, IDC_MESSAGE));
    auto* list = static_cast<QTableWidget*>(GetDlgItem(parser, IDC_LIST));
    auto* status = static_cast<QLabel*>(GetDlgItem(parser, IDC_STATUS));
    const QString message = FirstDemoMessage();
    QTest::mouseClick(edit->viewport(), Qt::LeftButton);
    QApplication::clipboard()->setText(message);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->toPlainText(), message);
    QTest::mouseClick(GetDlgItem(parser, IDC_HEXA), Qt::LeftButton);
    QTest::mouseClick(GetDlgItem(parser, IDC_PARSE), Qt::LeftButton);

    QCOMPARE(ErrorBalloonWindow(), nullptr);
    QCOMPARE(RowData(list), (QList<LPARAM>{2, 3, 4, 11, 41}));
    QCOMPARE(list->item(0, 4)->text(), QStringLiteral("4111111111111111"));
    QCOMPARE(list->item(4, 0)->text(), QStringLiteral("Card acceptor terminal id"));
    QCOMPARE(list->item(4, 4)->text(), QStringLiteral("TERM0001"));
    QCOMPARE(status->text(), QStringLiteral("... Parsing OK ..."));

    // A key on the row of field 41 selects its digits in the message box.
    const QRect row = list->visualItemRect(list->item(4, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->textCursor().selectedText(), QStringLiteral("5445524D30303031"));

    delete wnd;
}

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
