// The Message editor: values the encoder refuses stay out with its words, accepted ones change
// the message, a new message gives the bytes `iso8583 build` gives, a parsed message comes back
// unchanged (its header and empty items included), and nothing reaches the Parser page before
// "Use in Parser".
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "model/pro_file.h"
#include "model/protocol.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/message_editor_window.h"
#include "ui/parser_pg.h"

namespace {

const std::string kExamples = ISO_EXAMPLES_DIR;

// Fields 2, 3, 4, 11, 41 and chip data: 9F02, 95, 5A and 70 holding 9A and 9C.
constexpr char kChipMessage[] =
    "3032303070200000008002001041111111111111110000000000000010000001235445524D30303031249F020600"
    "0000001000950500000080005A08411111111111111170089A032512079C0100";
constexpr char kTextDialect[] =
    "NAME= Text chip\nMTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\n"
    "CHR_Enc= ASCII\nBIN_Enc= HEX\nFIELD= 55; B; 255; 3; Y; Chip data\n";
constexpr char kTextMessage[] =
    "02000000000000000200036"
    "9F0206000000001000950500000080005A08411111111111111170089A032512079C0100";

// A text dialect whose variable fields may be empty (a length prefix of 0).
constexpr char kEmptyFieldsDialect[] =
    "NAME= Empty fields\nMTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\n"
    "CHR_Enc= ASCII\nBIN_Enc= HEX\nFIELD= 2; N; 19; 2; N; Primary account number\n"
    "FIELD= 48; ANS; 99; 2; N; Additional data\nFIELD= 55; B; 255; 3; Y; Chip data\n"
    "OPTION= EMPTY_FIELDS; Y\n";

// The five mandatory fields of 0200 in the demo definition, as a person types them.
const std::pair<int, const char*> kMandatory[] = {
    {2, "4111111111111111"}, {3, "000000"}, {4, "000000001000"}, {11, "000123"}, {41, "TERM0001"},
};

void Load(const char* text) {
    if (text == nullptr) {
        QVERIFY(ReadProtocolFile((kExamples + "/demo.pro").c_str(), TheProtocol()));
        return;
    }
    std::FILE* stream = fmemopen(const_cast<char*>(text), std::strlen(text), "r");
    ReadProtocolStream(stream, TheProtocol());
    std::fclose(stream);
}

struct Parser {
    ParserPg pg;
    QWidget host;
    HWND wnd = CreateDialogParam(IDD_PARSER, &host, &pg);
    QPlainTextEdit* edit = static_cast<QPlainTextEdit*>(GetDlgItem(wnd, IDC_MESSAGE));
    QLabel* status = static_cast<QLabel*>(GetDlgItem(wnd, IDC_STATUS));

    bool Parse(const QString& text, bool hex) {
        edit->setPlainText(text);
        SetCheck(GetDlgItem(wnd, IDC_HEXA), hex ? BST_CHECKED : BST_UNCHECKED);
        return pg.Parse();
    }
    bool Hexa() const { return GetCheck(GetDlgItem(wnd, IDC_HEXA)) == BST_CHECKED; }
};

QModelIndex FieldRow(MessageEditorWindow& editor, int n) {
    return editor.Model().IndexOf(editor.Model().Field(n), MessageTreeModel::kValue);
}

QString Hex(const std::vector<std::uint8_t>& units) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(units.data()), units.size()).toHex().toUpper());
}

// Line i of the example messages for the definition with subfields.
QString SubfieldMessage(int i) {
    QFile file(QString::fromStdString(kExamples + "/subfields-messages.hex"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n')).value(i).trimmed();
}

}  // namespace

class MessageEditorWindowTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void refusedValueKeepsTheOldOneAndSaysWhy_data();
    void refusedValueKeepsTheOldOneAndSaysWhy();
    void acceptedValueIsEncodedAndMarkedInTheHex();
    void typedValueIsJudgedBeforeItIsCommitted();
    void newMessageListsMandatoryFieldsAsNeeded();
    void newMessageGivesTheBytesOfTheBuildCommand();
    void editedParsedMessageEncodesBackToItsUnits_data();
    void editedParsedMessageEncodesBackToItsUnits();
    void headerStaysBeforeTheEditedMessage_data();
    void headerStaysBeforeTheEditedMessage();
    void emptyItemsOfAParsedMessageStay_data();
    void emptyItemsOfAParsedMessageStay();
    void untouchedMandatoryFieldStaysOutUnderEmptyFields();
    void parserIsUntouchedUntilUseInParser();
};

void MessageEditorWindowTest::refusedValueKeepsTheOldOneAndSaysWhy_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reason");
    QTest::newRow("amount too long") << 4 << QString() << "0000000010000"
                                     << "field 4: 13 digits, at most 12";
    QTest::newRow("letter in a number") << 3 << QString() << "00A000"
                                        << "field 3: 'A' is not a digit";
    QTest::newRow("fixed text too short") << 41 << QString() << "TERM"
                                          << "field 41: 4 characters, fixed at 8";
    QTest::newRow("data object odd hex") << 55 << "9F02"
                                         << "123"
                                         << "field 55.9F02: 3 hex digits, an odd count";
}

void MessageEditorWindowTest::refusedValueKeepsTheOldOneAndSaysWhy() {
    QFETCH(int, field);
    QFETCH(QString, tag);
    QFETCH(QString, value);
    QFETCH(QString, reason);
    Load(nullptr);
    MessageEditorWindow editor(nullptr, TheProtocol(), {});
    editor.NewMessage("0200");
    QModelIndex at = editor.Model().AddField(field, false);
    if (!tag.isEmpty()) at = editor.Model().AddChild(at, tag, false);
    const std::vector<std::uint8_t> before = editor.Encoded();
    QVERIFY(!editor.Model().SetValue(at, value));
    QCOMPARE(editor.Model().LastRefusal(), reason);
    QVERIFY(editor.Model().Item(at)->value.isEmpty());
    QCOMPARE(editor.Encoded(), before);
}

void MessageEditorWindowTest::acceptedValueIsEncodedAndMarkedInTheHex() {
    Load(nullptr);
    MessageEditorWindow editor(nullptr, TheProtocol(), {});
    editor.NewMessage("0200");
    const QModelIndex amount = FieldRow(editor, 4);
    QVERIFY(editor.Model().SetValue(amount, QStringLiteral("000000001234")));
    QCOMPARE(editor.Model().Item(amount)->value, QStringLiteral("000000001234"));
    // Packed digits after the MTI and the eight bitmap bytes.
    QVERIFY(Hex(editor.Encoded()).endsWith(QStringLiteral("000000001234")));
    editor.Tree()->setCurrentIndex(amount);
    QVERIFY(!editor.HexView()->extraSelections().isEmpty());
    const auto [start, count] = editor.Marked();
    QCOMPARE(Hex(editor.Encoded()).mid(2 * start, 2 * count), QStringLiteral("000000001234"));
}

void MessageEditorWindowTest::typedValueIsJudgedBeforeItIsCommitted() {
    Load(nullptr);
    MessageEditorWindow editor(nullptr, TheProtocol(), {});
    editor.NewMessage("0200");
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QModelIndex amount = FieldRow(editor, 4);
    editor.Tree()->setCurrentIndex(amount);
    editor.Tree()->edit(amount);
    auto* line = editor.Tree()->findChild<QLineEdit*>();
    QVERIFY(line != nullptr);
    QTest::keyClicks(line, QStringLiteral("0000000010000"));
    QCOMPARE(editor.Status()->text(), QStringLiteral("field 4: 13 digits, at most 12"));
    QTest::keyClick(line, Qt::Key_Backspace);
    QVERIFY(editor.Status()->text().isEmpty());
    QTest::keyClick(line, Qt::Key_9);
    editor.Status()->clear();
    QTest::keyClick(line, Qt::Key_Return);  // the view commits on its next turn
    QTRY_COMPARE(editor.Status()->text(), QStringLiteral("field 4: 13 digits, at most 12"));
    QVERIFY(editor.Model().Item(amount)->value.isEmpty());
}

void MessageEditorWindowTest::newMessageListsMandatoryFieldsAsNeeded() {
    Load(nullptr);
    MessageEditorWindow editor(nullptr, TheProtocol(), {});
    editor.NewMessage("0200");
    QStringList fields;
    for (const auto& item : editor.Model().Fields()) {
        fields << QString::number(item->field);
        QVERIFY(item->needed);
        QCOMPARE(editor.Model().data(editor.Model().IndexOf(item.get(), MessageTreeModel::kCheck),
                                     Qt::DisplayRole),
                 QVariant(QStringLiteral("needed")));
    }
    QCOMPARE(fields, QStringList({"2", "3", "4", "11", "41"}));
    // Field 55, the message's optional field, is offered first.
    QCOMPARE(editor.FieldChoice()->itemData(0).toInt(), 55);
}

void MessageEditorWindowTest::newMessageGivesTheBytesOfTheBuildCommand() {
    Load(nullptr);
    MessageEditorWindow editor(nullptr, TheProtocol(), {});
    editor.NewMessage("0200");
    QStringList json;
    for (const auto& [n, value] : kMandatory) {
        QVERIFY(editor.Model().SetValue(FieldRow(editor, n), QString::fromLatin1(value)));
        json << QStringLiteral("\"%1\": \"%2\"").arg(n).arg(QLatin1String(value));
    }
    QProcess build;
    build.start(QStringLiteral(ISO8583_TOOL),
                {QStringLiteral("build"), QString::fromStdString(kExamples + "/demo.pro")});
    QVERIFY(build.waitForStarted());
    build.write(QStringLiteral("{\"mti\": \"0200\", \"fields\": {%1}}\n")
                    .arg(json.join(QStringLiteral(", ")))
                    .toLatin1());
    build.closeWriteChannel();
    QVERIFY(build.waitForFinished());
    QCOMPARE(build.exitCode(), 0);
    const QString built = QString::fromLatin1(build.readAllStandardOutput()).trimmed().toUpper();
    QVERIFY(!built.isEmpty());
    QCOMPARE(Hex(editor.Encoded()), built);
    QCOMPARE(editor.Status()->text(), QStringLiteral("%1 units").arg(built.size() / 2));
}

void MessageEditorWindowTest::editedParsedMessageEncodesBackToItsUnits_data() {
    QTest::addColumn<QByteArray>("definition");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QStringList>("chipTags");
    QTest::addColumn<QByteArray>("firstObject");  // its tag, length and value
    QTest::newRow("binary dialect, chip data")
        << QByteArray() << QString(kChipMessage) << true << QStringList({"9F02", "95", "5A", "70"})
        << QByteArray("9F0206000000001000");
    QTest::newRow("declared subfields")
        << QByteArray("subfields.pro") << SubfieldMessage(0) << true
        << QStringList({"9F02", "95", "5A"}) << QByteArray("9F0206000000010000");
    QTest::newRow("text dialect, chip data")
        << QByteArray(kTextDialect) << QString(kTextMessage) << false
        << QStringList({"9F02", "95", "5A", "70"}) << QByteArray("9F0206000000001000");
}

void MessageEditorWindowTest::editedParsedMessageEncodesBackToItsUnits() {
    QFETCH(QByteArray, definition);
    QFETCH(QString, message);
    QFETCH(bool, hex);
    QFETCH(QStringList, chipTags);
    QFETCH(QByteArray, firstObject);
    if (definition.endsWith(".pro"))
        QVERIFY(
            ReadProtocolFile((kExamples + "/" + definition.toStdString()).c_str(), TheProtocol()));
    else
        Load(definition.isEmpty() ? nullptr : definition.constData());
    Parser parser;
    parser.Parse(message, hex);
    QVERIFY(!parser.pg.Parsed().fields.empty());
    MessageEditorWindow editor(nullptr, TheProtocol(), {});
    editor.EditMessage(parser.pg.Parsed());
    const MessageItem* chip = editor.Model().Field(55);
    QVERIFY(chip != nullptr && chip->structured);
    QStringList tags;
    for (const auto& item : chip->children)
        tags << item->id;
    QCOMPARE(tags, chipTags);
    QVERIFY2(!editor.Encoded().empty(), qPrintable(editor.Status()->text()));
    QCOMPARE(editor.Encoded(), parser.pg.Parsed().units);
    // The data object under the cursor is what is marked, not its whole field.
    editor.Tree()->setCurrentIndex(editor.Model().IndexOf(chip->children.front().get()));
    const auto [start, count] = editor.Marked();
    QCOMPARE(Hex(editor.Encoded()).mid(2 * start, 2 * count),
             QString::fromLatin1(hex ? firstObject : firstObject.toHex().toUpper()));
    // A text dialect's message is shown and handed on as its characters.
    QCOMPARE(editor.ShownAsText(), !hex);
}

// OPTION= HEADER; 3: the units before the MTI are no part of the message the editor shows; they
// come back as they were, before the encoded message, and the marks count them.
void MessageEditorWindowTest::headerStaysBeforeTheEditedMessage_data() {
    QTest::addColumn<QByteArray>("definition");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("firstObject");
    QTest::newRow("binary dialect") << QByteArray() << "600001" + QString(kChipMessage) << true
                                    << QByteArray("9F0206000000001000");
    QTest::newRow("text dialect") << QByteArray(kTextDialect) << "ISO" + QString(kTextMessage)
                                  << false << QByteArray("9F0206000000001000");
}

void MessageEditorWindowTest::headerStaysBeforeTheEditedMessage() {
    QFETCH(QByteArray, definition);
    QFETCH(QString, message);
    QFETCH(bool, hex);
    QFETCH(QByteArray, firstObject);
    Load(definition.isEmpty() ? nullptr : definition.constData());
    TheProtocol().options.header = 3;
    Parser parser;
    parser.Parse(message, hex);
    QVERIFY2(!parser.pg.Parsed().fields.empty(), qPrintable(parser.status->text()));
    const std::vector<std::uint8_t> units = parser.pg.Parsed().units;
    MessageEditorWindow editor(nullptr, TheProtocol(), [&parser](const QString& text, bool h) {
        parser.pg.UseMessage(text, h);
    });
    editor.EditMessage(parser.pg.Parsed());
    QCOMPARE(editor.Mti(), QStringLiteral("0200"));
    const MessageItem* chip = editor.Model().Field(55);
    QVERIFY(chip != nullptr && chip->structured);
    QVERIFY2(!editor.Encoded().empty(), qPrintable(editor.Status()->text()));
    QCOMPARE(editor.Encoded(), units);
    editor.Tree()->setCurrentIndex(editor.Model().IndexOf(chip->children.front().get()));
    const auto [start, count] = editor.Marked();
    QCOMPARE(Hex(editor.Encoded()).mid(2 * start, 2 * count),
             QString::fromLatin1(hex ? firstObject : firstObject.toHex().toUpper()));
    QTest::mouseClick(editor.UseButton(), Qt::LeftButton);
    QCOMPARE(parser.edit->toPlainText(), message);
    QCOMPARE(parser.pg.Parsed().units, units);

    // A new message's header is zeros, and the marks still count it.
    editor.NewMessage("0200");
    const QModelIndex amount =
        editor.Model().AddChild(editor.Model().AddField(55, false), QStringLiteral("9F02"), false);
    QVERIFY(editor.Model().SetValue(amount, QStringLiteral("000000001000")));
    QVERIFY(Hex(editor.Encoded()).startsWith(QStringLiteral("000000")));
    editor.Tree()->setCurrentIndex(amount);
    const auto [at, objectUnits] = editor.Marked();
    QCOMPARE(Hex(editor.Encoded()).mid(2 * at, 2 * objectUnits),
             QString::fromLatin1(hex ? firstObject : firstObject.toHex().toUpper()));
}

// Each kind of empty item the encoder writes: the parsed message comes back unchanged.
void MessageEditorWindowTest::emptyItemsOfAParsedMessageStay_data() {
    QTest::addColumn<QByteArray>("definition");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("hex");
    QString primitive = QString(kChipMessage);
    primitive.replace(QStringLiteral("249F0206000000001000"), QStringLiteral("1E9F0200"));
    QString constructed = QString(kChipMessage);
    constructed.replace(QStringLiteral("249F02"), QStringLiteral("1C9F02"))
        .replace(QStringLiteral("70089A032512079C0100"), QStringLiteral("7000"));
    QTest::newRow("empty primitive data object") << QByteArray() << primitive << true;
    QTest::newRow("empty constructed data object") << QByteArray() << constructed << true;
    QTest::newRow("empty field under empty fields")
        << QByteArray(kEmptyFieldsDialect)
        << QStringLiteral("02004000000000010000164111111111111111") + QStringLiteral("00") << false;
    QTest::newRow("empty chip data under empty fields")
        << QByteArray(kEmptyFieldsDialect)
        << QStringLiteral("02004000000000000200164111111111111111") + QStringLiteral("000")
        << false;
}

void MessageEditorWindowTest::emptyItemsOfAParsedMessageStay() {
    QFETCH(QByteArray, definition);
    QFETCH(QString, message);
    QFETCH(bool, hex);
    Load(definition.isEmpty() ? nullptr : definition.constData());
    Parser parser;
    parser.Parse(message, hex);
    const std::vector<std::uint8_t> units = parser.pg.Parsed().units;
    QVERIFY2(parser.pg.Parsed().fields.size() > 1, qPrintable(parser.status->text()));
    MessageEditorWindow editor(nullptr, TheProtocol(), [&parser](const QString& text, bool h) {
        parser.pg.UseMessage(text, h);
    });
    editor.EditMessage(parser.pg.Parsed());
    QVERIFY2(!editor.Encoded().empty(), qPrintable(editor.Status()->text()));
    QCOMPARE(Hex(editor.Encoded()), Hex(units));
    QTest::mouseClick(editor.UseButton(), Qt::LeftButton);
    QCOMPARE(parser.edit->toPlainText().toUpper(), message.toUpper());
}

// Under empty fields a new message's mandatory field that nobody typed in is still left out and
// needed; one the user adds is written empty.
void MessageEditorWindowTest::untouchedMandatoryFieldStaysOutUnderEmptyFields() {
    Load(nullptr);
    TheProtocol().options.emptyFields = true;
    MessageEditorWindow editor(nullptr, TheProtocol(), {});
    editor.NewMessage("0200");
    const QModelIndex check = FieldRow(editor, 2).siblingAtColumn(MessageTreeModel::kCheck);
    QCOMPARE(editor.Model().data(check, Qt::DisplayRole), QVariant(QStringLiteral("needed")));
    QVERIFY(editor.Status()->text().contains(QStringLiteral("2, 3, 4, 11, 41")));
    QCOMPARE(Hex(editor.Encoded()), QStringLiteral("303230300000000000000000"));
    editor.FieldChoice()->setCurrentIndex(editor.FieldChoice()->findData(55));
    for (auto* button : editor.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("&Add field")) button->click();
    QVERIFY(editor.Model().Field(55) != nullptr);
    // Bit 55 set, and a length prefix of 0.
    QCOMPARE(Hex(editor.Encoded()), QStringLiteral("30323030000000000000020000"));
    QVERIFY(editor.Status()->text().contains(QStringLiteral("2, 3, 4, 11, 41")));
}

void MessageEditorWindowTest::parserIsUntouchedUntilUseInParser() {
    Load(nullptr);
    Parser parser;
    parser.edit->setPlainText(QStringLiteral("kept"));
    MessageEditorWindow editor(nullptr, TheProtocol(), [&parser](const QString& text, bool hex) {
        parser.pg.UseMessage(text, hex);
    });
    editor.NewMessage("0200");
    for (const auto& [n, value] : kMandatory)
        QVERIFY(editor.Model().SetValue(FieldRow(editor, n), QString::fromLatin1(value)));
    QCOMPARE(parser.edit->toPlainText(), QStringLiteral("kept"));
    QTest::mouseClick(editor.UseButton(), Qt::LeftButton);
    QCOMPARE(parser.edit->toPlainText(), Hex(editor.Encoded()));
    QVERIFY(parser.Hexa());
    QVERIFY2(parser.status->text().contains(QStringLiteral("Parsing OK")),
             qPrintable(parser.status->text()));
}

QTEST_MAIN(MessageEditorWindowTest)
#include "message_editor_window_test.moc"
