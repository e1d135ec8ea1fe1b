// The Field details window opened from the Parser page: the tree of a field's data objects, the
// message units a picked row selects, the refresh on a new parse, and the list's copy actions.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "model/pro_file.h"
#include "model/protocol.h"
#include "support/error_balloon.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/field_details_window.h"
#include "ui/parser_pg.h"

namespace {

const std::string kExamples = ISO_EXAMPLES_DIR;

// Fields 2, 3, 4, 11, 41 and chip data: 9F02, 95, 5A and 70 holding 9A and 9C.
constexpr char kChipMessage[] =
    "3032303070200000008002001041111111111111110000000000000010000001235445524D30303031249F020600"
    "0000001000950500000080005A08411111111111111170089A032512079C0100";
constexpr char kPlainMessage[] =
    "3032303070200000008000001041111111111111110000000000000010000001235445524D30303031";

// The same chip data typed as characters: hexadecimal text with a three-digit length.
constexpr char kTextDialect[] =
    "NAME= Text chip\nMTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\n"
    "CHR_Enc= ASCII\nBIN_Enc= HEX\nFIELD= 55; B; 255; 3; Y; Chip data\n";
constexpr char kTextMessage[] =
    "02000000000000000200036"
    "9F0206000000001000950500000080005A08411111111111111170089A032512079C0100";

void Load(const char* text) {
    if (text == nullptr) {
        QVERIFY(ReadProtocolFile((kExamples + "/demo.pro").c_str(), TheProtocol()));
        return;
    }
    std::FILE* stream = fmemopen(const_cast<char*>(text), std::strlen(text), "r");
    ReadProtocolStream(stream, TheProtocol());
    std::fclose(stream);
}

struct Page {
    ParserPg pg;
    QWidget host;
    HWND wnd = CreateDialogParam(IDD_PARSER, &host, &pg);
    QPlainTextEdit* edit = static_cast<QPlainTextEdit*>(GetDlgItem(wnd, IDC_MESSAGE));
    QTableWidget* list = static_cast<QTableWidget*>(GetDlgItem(wnd, IDC_LIST));

    Page() {
        host.resize(wnd->size());
        ShowWindow(wnd, SW_SHOW);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
    }
    ~Page() { delete pg.Details(); }
    void Parse(const QString& text, bool hex) {
        edit->setPlainText(text);
        SetCheck(GetDlgItem(wnd, IDC_HEXA), hex ? BST_CHECKED : BST_UNCHECKED);
        QTest::mouseClick(GetDlgItem(wnd, IDC_PARSE), Qt::LeftButton);
    }
    int RowOf(int field) const {
        for (int row = 0; row < list->rowCount(); ++row)
            if (list->item(row, 1)->text() == QString::number(field)) return row;
        return -1;
    }
    QPoint CellCentre(int row) const { return list->visualItemRect(list->item(row, 0)).center(); }
    void MenuAction(int row, const QString& text) {
        QMenu menu;
        pg.FillListMenu(menu, row);
        for (QAction* action : menu.actions())
            if (action->text().remove(QLatin1Char('&')) == text) return action->trigger();
        QFAIL(qPrintable("no menu entry " + text));
    }
};

QStringList Tags(const QTreeWidget* tree) {
    QStringList tags;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it != nullptr; ++it)
        if (!(*it)->text(0).isEmpty()) tags << (*it)->text(0);
    return tags;
}

QTreeWidgetItem* FindTag(QTreeWidget* tree, const QString& tag) {
    const auto found = tree->findItems(tag, Qt::MatchExactly | Qt::MatchRecursive, 0);
    return found.isEmpty() ? nullptr : found.first();
}

// Line i of the example messages for the definition with subfields.
QString SubfieldMessage(int i) {
    QFile file(QString::fromStdString(kExamples + "/subfields-messages.hex"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n')).value(i).trimmed();
}

}  // namespace

class FieldDetailsWindowTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init() { HideErrorBalloon(); }
    void doubleClickOpensTheTagTreeAndASingleClickDoesNot();
    void pickedTagSelectsItsUnitsKeepingTheFocus_data();
    void pickedTagSelectsItsUnitsKeepingTheFocus();
    void newParseRefreshesOrEmptiesTheWindow();
    void copyActionsGiveMaskedAndUnmaskedRows();
    void ctrlCCopiesTheSelectedTreeRowsWhole();
    void subfieldsNestUnderTheirPathAndSelectTheirUnits();
    void subfieldReadingStopsWithARowWhereItStopped();
};

void FieldDetailsWindowTest::doubleClickOpensTheTagTreeAndASingleClickDoesNot() {
    Load(nullptr);
    Page p;
    p.Parse(kChipMessage, true);
    const int row = p.RowOf(55);
    QVERIFY(row >= 0);
    QTest::mouseClick(p.list->viewport(), Qt::LeftButton, {}, p.CellCentre(row));
    QCOMPARE(p.pg.Details(), nullptr);
    QTest::mouseDClick(p.list->viewport(), Qt::LeftButton, {}, p.CellCentre(row));
    FieldDetailsWindow* details = p.pg.Details();
    QVERIFY(details != nullptr && details->isVisible());
    QCOMPARE(Tags(details->Tree()), (QStringList{"9F02", "95", "5A", "70", "9A", "9C"}));
    QCOMPARE(FindTag(details->Tree(), "9F02")->text(3), QStringLiteral("000000001000"));
    QCOMPARE(FindTag(details->Tree(), "5A")->child(0)->text(3), QStringLiteral("passes"));
    QVERIFY(details->Dump()->toPlainText().contains("24 9F 02 06"));
    p.MenuAction(p.RowOf(2), QStringLiteral("Field details\u2026"));
    QCOMPARE(p.pg.Details(), details);  // the one window, reused
    QCOMPARE(details->Number(), 2);
    QTRY_COMPARE(QApplication::activeWindow(), details);
    QTest::keyClick(details->Tree(), Qt::Key_Escape);
    QVERIFY(!details->isVisible());
}

void FieldDetailsWindowTest::pickedTagSelectsItsUnitsKeepingTheFocus_data() {
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("lead");
    QTest::newRow("text") << false << QString();
    QTest::newRow("hexa") << true << QString();
    QTest::newRow("hexa after blanks") << true << QStringLiteral(" \n\t ");
}

void FieldDetailsWindowTest::pickedTagSelectsItsUnitsKeepingTheFocus() {
    QFETCH(bool, hex);
    QFETCH(QString, lead);
    Load(hex ? nullptr : kTextDialect);
    Page p;
    p.Parse(lead + (hex ? kChipMessage : kTextMessage), hex);
    p.pg.OpenDetails(55);
    FieldDetailsWindow* details = p.pg.Details();
    QTRY_COMPARE(QApplication::activeWindow(), details);
    details->Tree()->setFocus();
    details->Tree()->setCurrentItem(FindTag(details->Tree(), "9F02"));
    QCOMPARE(p.edit->textCursor().selectedText(), QStringLiteral("9F0206000000001000"));
    QTest::keyClick(details->Tree(), Qt::Key_Down);  // on to 95
    QCOMPARE(p.edit->textCursor().selectedText(), QStringLiteral("95050000008000"));
    QCOMPARE(QApplication::focusWidget(), details->Tree());
}

void FieldDetailsWindowTest::newParseRefreshesOrEmptiesTheWindow() {
    Load(nullptr);
    Page p;
    p.Parse(kChipMessage, true);
    p.pg.OpenDetails(55);
    FieldDetailsWindow* details = p.pg.Details();
    p.Parse(kPlainMessage, true);
    QCOMPARE(details->Tree()->topLevelItemCount(), 0);
    QVERIFY(details->Dump()->toPlainText().isEmpty());
    QVERIFY(details->Heading()->text().contains("not in the message"));
    p.Parse(kChipMessage, true);
    QCOMPARE(Tags(details->Tree()).size(), 6);
}

void FieldDetailsWindowTest::copyActionsGiveMaskedAndUnmaskedRows() {
    Load(nullptr);
    Page p;
    p.Parse(kChipMessage, true);
    QClipboard* clipboard = QApplication::clipboard();
    p.MenuAction(p.RowOf(2), QStringLiteral("Copy row"));
    QCOMPARE(clipboard->text(),
             QStringLiteral("Primary account number\t2\tN\t16\t411111******1111\n"));
    p.MenuAction(-1, QStringLiteral("Copy all rows"));
    const QString masked = clipboard->text();
    QCOMPARE(masked.count('\n'), 6);
    QVERIFY(!masked.contains("4111111111111111"));
    QVERIFY(masked.contains("5A08411111******1111"));
    p.MenuAction(-1, QStringLiteral("Copy all rows unmasked"));
    QCOMPARE(clipboard->text().split('\n')[5].split('\t').size(), 5);
    QVERIFY(clipboard->text().contains("5A084111111111111111"));
}

// Every cell of each selected row, as shown, tab-separated: not the one cell the view copies.
void FieldDetailsWindowTest::ctrlCCopiesTheSelectedTreeRowsWhole() {
    Load(nullptr);
    Page p;
    p.Parse(kChipMessage, true);
    p.pg.OpenDetails(55);
    QTreeWidget* tree = p.pg.Details()->Tree();
    QTRY_COMPARE(QApplication::activeWindow(), p.pg.Details());
    tree->setFocus();
    tree->setCurrentItem(FindTag(tree, "9F02"));
    FindTag(tree, "95")->setSelected(true);
    QApplication::clipboard()->clear();
    QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("9F02\tAmount, Authorised (Numeric)\t6\t000000001000\n"
                            "95\tTerminal Verification Results\t5\t0000008000\n"));
    QCOMPARE(tree->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(tree->actions().first()->shortcut(), QKeySequence(QKeySequence::Copy));
}

void FieldDetailsWindowTest::subfieldsNestUnderTheirPathAndSelectTheirUnits() {
    QVERIFY(ReadProtocolFile((kExamples + "/subfields.pro").c_str(), TheProtocol()));
    Page p;
    p.Parse(SubfieldMessage(0), true);
    p.pg.OpenDetails(48);
    QTreeWidget* tree = p.pg.Details()->Tree();
    QTreeWidgetItem* inner = FindTag(tree, QStringLiteral("48.42.01"));
    QVERIFY(inner != nullptr && inner->parent() != nullptr);
    QCOMPARE(inner->parent()->text(0), QStringLiteral("48.42"));
    QCOMPARE(inner->text(1), QStringLiteral("Security level indicator"));
    // The element's tag, length and value: "01", "17", "INV-20261231-0042".
    tree->setCurrentItem(FindTag(tree, QStringLiteral("48.01")));
    QCOMPARE(p.edit->textCursor().selectedText(),
             QStringLiteral("30313137494E562D32303236313233312D30303432"));
    QVERIFY(p.pg.Details()->Problem()->isHidden());
}

void FieldDetailsWindowTest::subfieldReadingStopsWithARowWhereItStopped() {
    QVERIFY(ReadProtocolFile((kExamples + "/subfields.pro").c_str(), TheProtocol()));
    Page p;
    p.Parse(SubfieldMessage(2), true);
    p.pg.OpenDetails(48);
    QTreeWidget* tree = p.pg.Details()->Tree();
    const auto stops =
        tree->findItems(QStringLiteral("Not read"), Qt::MatchExactly | Qt::MatchRecursive, 1);
    QCOMPARE(stops.size(), 1);
    QVERIFY(!stops.first()->text(3).isEmpty());
    QVERIFY(FindTag(tree, QStringLiteral("48.01")) != nullptr);  // what came before stays
    QVERIFY(!p.pg.Details()->Problem()->isHidden());
    QVERIFY(p.pg.Details()->Problem()->text().contains(QStringLiteral("48.61")));
}

QTEST_MAIN(FieldDetailsWindowTest)
#include "field_details_window_test.moc"
