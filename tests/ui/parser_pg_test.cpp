// The Parser page: what a Parse puts in the list and the status line, the balloon on hexadecimal
// text that does not decode, and the part of the message box a key in the list selects.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include "model/pro_file.h"
#include "model/protocol.h"
#include "support/error_balloon.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/main_dlg.h"
#include "ui/parser_pg.h"
#include "ui/window_text.h"

namespace {

const std::string kExamples = ISO_EXAMPLES_DIR;

// A dialect typed as plain characters: hexadecimal bitmap, character lengths and numbers.
constexpr char kTextDialect[] =
    "NAME= Text dialect\n"
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD= 2; N; 19; 2; N; Primary account number\n"
    "FIELD= 3; N; 6; 0; N; Processing code\n"
    "FIELD= 4; N; 12; 0; N; Amount, transaction\n"
    "FIELD= 41; ANS; 8; 0; N; Card acceptor terminal id\n"
    "MSG=0200;70000000008000000000000000000000;00000000000000000000000000000000;Request\n";

// MTI, bitmap (2, 3, 4, 41), then field 2 at 20 (prefix 16), 3 at 38, 4 at 44, 41 at 56.
constexpr char kTextMessage[] = "02007000000000800000164111111111111111000000000000001000TERM0001";

void LoadDefinition(const char* text) {
    std::FILE* stream = fmemopen(const_cast<char*>(text), std::strlen(text), "r");
    ReadProtocolStream(stream, TheProtocol());
    std::fclose(stream);
}

void LoadDemo() {
    QVERIFY(ReadProtocolFile((kExamples + "/demo.pro").c_str(), TheProtocol()));
}

// Line n (from 1) of the demo messages.
QString DemoMessage(int n) {
    std::ifstream in(kExamples + "/demo-messages.hex");
    std::string line;
    for (int i = 0; i < n && std::getline(in, line); ++i) {
    }
    return QString::fromStdString(line);
}

struct Page {
    // The page object outlives its window: the window's destruction still calls into it.
    ParserPg pg;
    QWidget host;
    HWND wnd = nullptr;
    QCheckBox* hexa = nullptr;
    QPlainTextEdit* edit = nullptr;
    QPushButton* parse = nullptr;
    QLabel* status = nullptr;
    QTableWidget* list = nullptr;

    Page() {
        wnd = CreateDialogParam(IDD_PARSER, &host, &pg);
        hexa = static_cast<QCheckBox*>(GetDlgItem(wnd, IDC_HEXA));
        edit = static_cast<QPlainTextEdit*>(GetDlgItem(wnd, IDC_MESSAGE));
        parse = static_cast<QPushButton*>(GetDlgItem(wnd, IDC_PARSE));
        status = static_cast<QLabel*>(GetDlgItem(wnd, IDC_STATUS));
        list = static_cast<QTableWidget*>(GetDlgItem(wnd, IDC_LIST));
        host.resize(wnd->size());
        ShowWindow(wnd, SW_SHOW);
        host.show();
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
    }
    ~Page() { HideErrorBalloon(); }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // As a user: click into the box, paste, set the check box, press Parse.
    void Paste(const QString& text) {
        QTest::mouseClick(edit->viewport(), Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        if (text.isEmpty()) return;
        QApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    }
    void SetHexa(bool on) {
        if (hexa->isChecked() != on) QTest::mouseClick(hexa, Qt::LeftButton);
    }
    void Parse(const QString& text, bool hex) {
        Paste(text);
        SetHexa(hex);
        QTest::mouseClick(parse, Qt::LeftButton);
    }
    QString Cell(int row, int column) const {
        const QTableWidgetItem* item = list->item(row, column);
        return item == nullptr ? QString() : item->text();
    }
    QStringList Numbers() const {
        QStringList numbers;
        for (int row = 0; row < list->rowCount(); ++row)
            numbers << Cell(row, 1);
        return numbers;
    }
    int RowOf(int field) const {
        for (int row = 0; row < list->rowCount(); ++row) {
            LPARAM data = -1;
            if (ListGetItemData(list, row, data) && data == field) return row;
        }
        return -1;
    }
    void ClickRow(int row) {
        const QRect cell = list->visualItemRect(list->item(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }
    QString Selected() const { return edit->textCursor().selectedText(); }
    int SelStart() const { return edit->textCursor().selectionStart(); }
    int SelEnd() const { return edit->textCursor().selectionEnd(); }
};

}  // namespace

class ParserPgTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init() { HideErrorBalloon(); }

    void listHasTheFiveColumns();
    void emptyTextModeShowsNothing();
    void hexInputThatDoesNotDecodeShowsTheBalloon_data();
    void hexInputThatDoesNotDecodeShowsTheBalloon();
    void blanksAroundHexDigitsAreDropped_data();
    void blanksAroundHexDigitsAreDropped();
    void demoMessageListsFieldsInDecodingOrder();
    void textModeReadsCharactersAsUnits();
    void windows1252CharactersAndShiftEnterAreOneUnitEach();
    void cutCellShowsItsWholeTextInATooltip();
    void failingFieldKeepsRowsBeforeIt();
    void verdictShowsQuotedUnitsEscaped_data();
    void verdictShowsQuotedUnitsEscaped();
    void listKeepsTheValueUpToItsFirstNul();
    void binaryValuesShowAsHex();
    void keySelectsFieldUnits_data();
    void keySelectsFieldUnits();
    void arrowKeyShowsTheRowItLeaves();
    void mouseClickSelectsNothing();
    void hexModeIsThatOfTheLastParse();
    void parsingTwiceGivesTheSameResult();
    void eachParseReadsTheDefinitionAsItStands();
    void messageWithoutMtiOrBitmapHasNoVerdict();
    void messageBoxHoldsAtMost32767Characters();
    void loadLeavesTheLastResultOnScreen();
};

void ParserPgTest::listHasTheFiveColumns() {
    Page p;
    QStringList headers;
    for (int c = 0; c < p.list->columnCount(); ++c)
        headers << p.list->horizontalHeaderItem(c)->text();
    QCOMPARE(headers,
             (QStringList{"Description", QStringLiteral("N\u00B0"), "Type", "Length", "Value"}));
    QCOMPARE(p.status->text(), QString());
    QVERIFY(!QFontInfo(p.list->font()).family().isEmpty());
}

void ParserPgTest::emptyTextModeShowsNothing() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(1), true);
    QCOMPARE(p.list->rowCount(), 5);
    p.Parse(QString(), false);
    QCOMPARE(p.list->rowCount(), 0);
    QCOMPARE(p.status->text(), QString());
    QCOMPARE(ErrorBalloonWindow(), nullptr);
}

void ParserPgTest::hexInputThatDoesNotDecodeShowsTheBalloon_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks only") << QStringLiteral("  \n ");
    QTest::newRow("blank between digit groups") << DemoMessage(15);
    QTest::newRow("line break between digit groups")
        << DemoMessage(1).left(40) + "\n" + DemoMessage(1).mid(40);
    QTest::newRow("odd digit count") << DemoMessage(14);
    QTest::newRow("single digit") << QStringLiteral("3");
    QTest::newRow("letter beyond F") << QStringLiteral("303230G0");
}

void ParserPgTest::hexInputThatDoesNotDecodeShowsTheBalloon() {
    QFETCH(QString, text);
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(1), true);  // a result that the failed parse must clear
    p.Parse(text, true);
    QVERIFY(ErrorBalloonWindow() != nullptr);
    QCOMPARE(QApplication::focusWidget(), p.edit);
    QCOMPARE(p.list->rowCount(), 0);
    QCOMPARE(p.status->text(), QString());
    QCOMPARE(p.edit->toPlainText(), text);  // the user's text stays as typed
}

void ParserPgTest::blanksAroundHexDigitsAreDropped_data() {
    QTest::addColumn<QString>("text");
    const QString m = DemoMessage(1);
    QTest::newRow("none") << m;
    QTest::newRow("leading blanks") << "   " + m;
    QTest::newRow("leading line breaks and tab") << "\n\t\n" + m;
    QTest::newRow("trailing blanks and line break") << m + "  \n";
    QTest::newRow("lower-case digits") << m.toLower();
}

void ParserPgTest::blanksAroundHexDigitsAreDropped() {
    QFETCH(QString, text);
    LoadDemo();
    Page p;
    p.Parse(text, true);
    QCOMPARE(ErrorBalloonWindow(), nullptr);
    QCOMPARE(p.Numbers(), (QStringList{"2", "3", "4", "11", "41"}));
    QCOMPARE(p.status->text(), QStringLiteral("... Parsing OK ..."));
}

void ParserPgTest::demoMessageListsFieldsInDecodingOrder() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(1), true);
    const QStringList expected[] = {
        {"Primary account number", "2", "N", "16", "4111111111111111"},
        {"Processing code", "3", "N", "6", "000000"},
        {"Amount, transaction", "4", "N", "12", "000000001000"},
        {"System trace audit number", "11", "N", "6", "000123"},
        {"Card acceptor terminal id", "41", "ANS", "8", "TERM0001"},
    };
    QCOMPARE(p.list->rowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << p.Cell(row, c);
        QCOMPARE(cells, expected[row]);
        LPARAM data = 0;
        QVERIFY(ListGetItemData(p.list, row, data));
        QCOMPARE(QString::number(data), expected[row][1]);
    }
    QCOMPARE(p.status->text(), QStringLiteral("... Parsing OK ..."));
    QVERIFY(p.pg.HexMode());
    QCOMPARE(p.pg.FieldOffset(2), 12);
    QCOMPARE(p.pg.FieldLength(2), 9);
    QCOMPARE(p.pg.FieldOffset(41), 33);
    QCOMPARE(p.pg.FieldLength(41), 8);
}

void ParserPgTest::textModeReadsCharactersAsUnits() {
    LoadDefinition(kTextDialect);
    Page p;
    p.Parse(QString::fromLatin1(kTextMessage), false);
    QCOMPARE(p.Numbers(), (QStringList{"2", "3", "4", "41"}));
    QCOMPARE(p.Cell(0, 4), QStringLiteral("4111111111111111"));
    QCOMPARE(p.Cell(3, 4), QStringLiteral("TERM0001"));
    QCOMPARE(p.status->text(), QStringLiteral("... Parsing OK ..."));
    QVERIFY(!p.pg.HexMode());
    QCOMPARE(p.pg.FieldOffset(3), 38);

    // Characters beyond ASCII are one unit each and show as typed, a no-break space included.
    QString accented = QString::fromLatin1(kTextMessage);
    accented.replace(QStringLiteral("TERM"), QStringLiteral("T\u00C9R\u00A0"));
    p.Parse(accented, false);
    QCOMPARE(p.Cell(3, 4), QStringLiteral("T\u00C9R\u00A00001"));
}

void ParserPgTest::windows1252CharactersAndShiftEnterAreOneUnitEach() {
    LoadDefinition(kTextDialect);
    Page p;
    // Field 41 (8 characters) typed as "T", a euro sign, a Shift+Enter line break and "M0001".
    QString message = QString::fromLatin1(kTextMessage);
    message.chop(8);
    p.Paste(message + QStringLiteral("T\u20AC"));
    QTest::keyClick(p.edit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(p.edit, QStringLiteral("M0001"));
    QVERIFY(p.edit->document()->toRawText().contains(QChar::LineSeparator));
    QTest::mouseClick(p.parse, Qt::LeftButton);
    QCOMPARE(p.status->text(), QStringLiteral("... Parsing OK ..."));
    QCOMPARE(p.pg.FieldOffset(41), 56);
    QCOMPARE(p.Cell(3, 4), QStringLiteral("T\u20AC\nM0001"));
    QCOMPARE(GetRawWindowText(p.edit).substr(56), std::string("T\x80\nM0001"));
}

void ParserPgTest::cutCellShowsItsWholeTextInATooltip() {
    Page p;
    const QString longText(200, QLatin1Char('W'));
    QCOMPARE(ListInsertItem(p.list, 0, longText.toUtf8().constData(), 2), 0);
    ListSetItemText(p.list, 0, 2, "N");
    auto tipAt = [&](int column) {
        const QPoint at = p.list->visualRect(p.list->model()->index(0, column)).center();
        QHelpEvent help(QEvent::ToolTip, at, p.list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(p.list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(tipAt(2), QString());  // "N" fits its column
    QCOMPARE(tipAt(0), longText);
}

void ParserPgTest::failingFieldKeepsRowsBeforeIt() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(7), true);  // the bit of field 7, which is not defined
    QCOMPARE(p.Numbers(), (QStringList{"2", "3", "4"}));
    QCOMPARE(p.status->text(), QStringLiteral("Error : field n\u00B0 7 is undefined"));

    p.Parse(DemoMessage(8), true);  // field 41 cut short
    QCOMPARE(p.Numbers(), (QStringList{"2", "3", "4", "11"}));
    QCOMPARE(p.status->text(), QStringLiteral("Error reading or converting field n\u00B0 41"));

    p.Parse(DemoMessage(5), true);  // no field 11
    QCOMPARE(p.status->text(), QStringLiteral("Missing or unexpected field n\u00B0 11"));
    p.Parse(DemoMessage(4), true);
    QCOMPARE(p.status->text(), QStringLiteral("Unknown message 0400"));
}

void ParserPgTest::verdictShowsQuotedUnitsEscaped_data() {
    QTest::addColumn<QString>("mtiHex");
    QTest::addColumn<QString>("verdict");
    // An EBCDIC MTI read under an ASCII dialect: as the command line writes it, not as "ðòñð".
    QTest::newRow("EBCDIC MTI") << "F0F2F1F0"
                                << "Unknown message \\xF0\\xF2\\xF1\\xF0";
    QTest::newRow("control unit") << "30341B30"
                                  << "Unknown message 04\\x1B0";
    QTest::newRow("printable MTI as it is") << "30343030"
                                            << "Unknown message 0400";
}

void ParserPgTest::verdictShowsQuotedUnitsEscaped() {
    QFETCH(QString, mtiHex);
    QFETCH(QString, verdict);
    LoadDefinition(kTextDialect);
    Page p;
    const QByteArray rest = QByteArray(kTextMessage + 4).toHex().toUpper();
    p.Parse(mtiHex + QString::fromLatin1(rest), true);
    QCOMPARE(p.status->text(), verdict);
}

// The list is the classic one: a text value ends at its first NUL there, whatever the reports
// and the Field details window show of it.
void ParserPgTest::listKeepsTheValueUpToItsFirstNul() {
    LoadDefinition(kTextDialect);
    Page p;
    std::string message(kTextMessage);
    message.replace(message.size() - 4, 4,
                    std::string("\0\x01"
                                "01",
                                4));
    p.Parse(QString::fromLatin1(QByteArray::fromStdString(message).toHex()), true);
    QCOMPARE(p.status->text(), QStringLiteral("... Parsing OK ..."));
    const int row = p.RowOf(41);
    QVERIFY(row >= 0);
    QCOMPARE(p.Cell(row, 4), QStringLiteral("TERM"));
}

void ParserPgTest::binaryValuesShowAsHex() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(2), true);
    const int row = p.RowOf(55);
    QVERIFY(row >= 0);
    QCOMPARE(p.Cell(row, 2), QStringLiteral("B"));
    QCOMPARE(p.Cell(row, 3), QStringLiteral("5"));
    QCOMPARE(p.Cell(row, 4), QStringLiteral("9F02060000"));

    // Two bytes, the second of them a NUL that would end a text.
    QString m = DemoMessage(2);
    m.replace(QStringLiteral("059F02060000"), QStringLiteral("020a00"));
    p.Parse(m, true);
    QCOMPARE(p.Cell(p.RowOf(55), 3), QStringLiteral("2"));
    QCOMPARE(p.Cell(p.RowOf(55), 4), QStringLiteral("0A00"));
    QCOMPARE(p.status->text(), QStringLiteral("... Parsing OK ..."));
}

void ParserPgTest::keySelectsFieldUnits_data() {
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("key");
    const QString m = DemoMessage(1);
    QTest::newRow("hex, fixed field")
        << true << m << 3 << 42 << 48 << QStringLiteral("000000") << int(Qt::Key_Space);
    QTest::newRow("hex, prefix included")
        << true << m << 2 << 24 << 42 << QStringLiteral("104111111111111111") << int(Qt::Key_Space);
    // The box keeps the blanks that the message drops: the range moves past them.
    QTest::newRow("hex, leading blanks shift the range")
        << true << "   " + m << 3 << 45 << 51 << QStringLiteral("000000") << int(Qt::Key_Space);
    QTest::newRow("hex, leading line break and tab shift the range")
        << true << "\n\t" + m << 2 << 26 << 44 << QStringLiteral("104111111111111111")
        << int(Qt::Key_Space);
    QTest::newRow("text, fixed field") << false << QString::fromLatin1(kTextMessage) << 3 << 38
                                       << 44 << QStringLiteral("000000") << int(Qt::Key_Space);
    QTest::newRow("text, prefix included")
        << false << QString::fromLatin1(kTextMessage) << 2 << 20 << 38
        << QStringLiteral("164111111111111111") << int(Qt::Key_Space);
    // Return opens the Field details window as well: it selects the units first, as any key.
    QTest::newRow("Return, hex") << true << m << 3 << 42 << 48 << QStringLiteral("000000")
                                 << int(Qt::Key_Return);
    QTest::newRow("Return, text") << false << QString::fromLatin1(kTextMessage) << 2 << 20 << 38
                                  << QStringLiteral("164111111111111111") << int(Qt::Key_Return);
}

void ParserPgTest::keySelectsFieldUnits() {
    QFETCH(bool, hex);
    QFETCH(QString, text);
    QFETCH(int, field);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, selected);
    QFETCH(int, key);
    if (hex) {
        LoadDemo();
    } else {
        LoadDefinition(kTextDialect);
    }
    Page p;
    p.Parse(text, hex);
    p.ClickRow(p.RowOf(field));
    QCOMPARE(QApplication::focusWidget(), p.list);
    QTest::keyClick(p.list, static_cast<Qt::Key>(key));
    QCOMPARE(p.SelStart(), start);
    QCOMPARE(p.SelEnd(), end);
    QCOMPARE(p.Selected(), selected);
    const bool details = key == Qt::Key_Return;
    QCOMPARE(p.pg.Details() != nullptr && p.pg.Details()->isVisible(), details);
    if (details) {
        QCOMPARE(p.pg.Details()->Number(), field);
        p.pg.Details()->close();
    } else {
        QCOMPARE(QApplication::focusWidget(), p.edit);
    }
}

void ParserPgTest::arrowKeyShowsTheRowItLeaves() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(1), true);
    p.ClickRow(1);  // field 3
    QTest::keyClick(p.list, Qt::Key_Down);
    QCOMPARE(p.Selected(), QStringLiteral("000000"));
    QCOMPARE(ListGetNextSelected(p.list), 2);
}

void ParserPgTest::mouseClickSelectsNothing() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(1), true);
    p.ClickRow(2);
    QCOMPARE(p.Selected(), QString());
    QCOMPARE(QApplication::focusWidget(), p.list);
}

void ParserPgTest::hexModeIsThatOfTheLastParse() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(1), true);
    p.SetHexa(false);  // ticking the box after a parse changes nothing
    p.ClickRow(p.RowOf(4));
    QTest::keyClick(p.list, Qt::Key_A);
    QCOMPARE(p.SelStart(), 48);
    QCOMPARE(p.SelEnd(), 60);
}

void ParserPgTest::parsingTwiceGivesTheSameResult() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(2), true);
    std::vector<QStringList> first;
    for (int row = 0; row < p.list->rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << p.Cell(row, c);
        first.push_back(cells);
    }
    QTest::mouseClick(p.parse, Qt::LeftButton);
    QCOMPARE(p.list->rowCount(), static_cast<int>(first.size()));
    for (int row = 0; row < p.list->rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << p.Cell(row, c);
        QCOMPARE(cells, first[row]);
    }
    QCOMPARE(p.status->text(), QStringLiteral("... Parsing OK ..."));
}

void ParserPgTest::eachParseReadsTheDefinitionAsItStands() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(1), true);
    QCOMPARE(p.status->text(), QStringLiteral("... Parsing OK ..."));
    TheProtocol().fields[11].Clear();
    QTest::mouseClick(p.parse, Qt::LeftButton);
    QCOMPARE(p.Numbers(), (QStringList{"2", "3", "4"}));
    QCOMPARE(p.status->text(), QStringLiteral("Error : field n\u00B0 11 is undefined"));
}

void ParserPgTest::messageWithoutMtiOrBitmapHasNoVerdict() {
    LoadDemo();
    Page p;
    p.Parse(DemoMessage(1), true);
    p.Parse(DemoMessage(13), true);  // four bytes
    QCOMPARE(p.list->rowCount(), 0);
    QCOMPARE(p.status->text(), QString());
    QCOMPARE(ErrorBalloonWindow(), nullptr);
}

void ParserPgTest::messageBoxHoldsAtMost32767Characters() {
    Page p;
    p.Paste(QString(40000, QLatin1Char('0')));
    QCOMPARE(p.edit->toPlainText().size(), 32767);

    // Typing at the limit is refused; a paste keeps what fits.
    p.edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(p.edit, QStringLiteral("12"));
    QCOMPARE(p.edit->toPlainText().size(), 32767);
    p.edit->moveCursor(QTextCursor::Start);
    QTest::keyClick(p.edit, Qt::Key_Delete);
    QTest::keyClick(p.edit, Qt::Key_Delete);
    QApplication::clipboard()->setText(QStringLiteral("ABCD"));
    p.edit->paste();
    QCOMPARE(p.edit->toPlainText().size(), 32767);
    QVERIFY(p.edit->toPlainText().startsWith(QStringLiteral("AB0")));
}

void ParserPgTest::loadLeavesTheLastResultOnScreen() {
    LoadDemo();
    MainDlg dlg;
    HWND wnd = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
    wnd->show();
    HWND page = dlg.Page(2);
    auto* edit = static_cast<QPlainTextEdit*>(GetDlgItem(page, IDC_MESSAGE));
    auto* list = static_cast<QTableWidget*>(GetDlgItem(page, IDC_LIST));
    auto* status = static_cast<QLabel*>(GetDlgItem(page, IDC_STATUS));
    SetCheck(GetDlgItem(page, IDC_HEXA), BST_CHECKED);
    edit->setPlainText(DemoMessage(1));
    QTest::mouseClick(GetDlgItem(page, IDC_PARSE), Qt::LeftButton);
    QCOMPARE(list->rowCount(), 5);

    // The same definition, but for field 2's description and without the message 0200.
    std::ifstream demo(kExamples + "/demo.pro");
    std::string text((std::istreambuf_iterator<char>(demo)), std::istreambuf_iterator<char>());
    text.replace(text.find("Primary account number"), 22, "PAN");
    text.erase(text.find("MSG=0200"), text.find("MSG=0210") - text.find("MSG=0200"));
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("other.pro")).toStdString();
    std::ofstream(path) << text;
    SetFileChooser([&](HWND, FileChoice, std::string& chosen) {
        chosen = path;
        return true;
    });
    QTest::mouseClick(GetDlgItem(wnd, IDC_LOAD), Qt::LeftButton);
    SetFileChooser({});
    QCOMPARE(TheProtocol().fields[2].description, "PAN");
    QCOMPARE(list->rowCount(), 5);
    QCOMPARE(list->item(0, 0)->text(), QStringLiteral("Primary account number"));
    QCOMPARE(status->text(), QStringLiteral("... Parsing OK ..."));

    QTest::mouseClick(GetDlgItem(page, IDC_PARSE), Qt::LeftButton);
    QCOMPARE(list->rowCount(), 5);
    QCOMPARE(list->item(0, 0)->text(), QStringLiteral("PAN"));
    QCOMPARE(status->text(), QStringLiteral("Unknown message 0200"));
    delete wnd;
}

QTEST_MAIN(ParserPgTest)
#include "parser_pg_test.moc"
