// The Message editor: values the encoder refuses stay out with its words, accepted ones change
// the message, a new message gives the bytes `iso8583 build` gives, a parsed message comes back
// unchanged, and nothing reaches the Parser page before "Use in Parser".
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
