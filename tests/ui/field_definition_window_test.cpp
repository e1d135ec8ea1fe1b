// The definition windows driven as a user drives them, in the program's frame: the Field
// definition window's boxes and tree, the Settings window, and File > Import, each checked in
// the definition, in the title's modified mark and in what lint says of the saved file.
#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>

#include "interop/interop.h"
#include "model/pro_file.h"
#include "model/protocol.h"
#include "support/error_balloon.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/definition_commands.h"
#include "ui/diagnosis_window.h"
#include "ui/dialect_settings_window.h"
#include "ui/dlg_window.h"
#include "ui/encoding_overrides.h"
#include "ui/field_definition_window.h"
#include "ui/field_findings.h"
#include "ui/import_report_window.h"
#include "ui/main_dlg.h"
#include "ui/main_frame.h"
#include "ui/number_box.h"
#include "ui/structure_editor.h"
#include "ui/subfield_tree_model.h"
#include "ui/window_text.h"

namespace {

const std::string kExamples = ISO_EXAMPLES_DIR;

struct Framed {
    MainDlg dlg;
    MainFrame frame{dlg};
    QStringList boxes;
    std::string chosen;

    Framed() {
        SetMessageBoxHandler([this](HWND, const std::string& text, const std::string&, unsigned) {
            boxes << QString::fromStdString(text);
            return IDNO;
        });
        SetFileChooser([this](HWND, FileChoice, std::string& path) {
            path = chosen;
            return !chosen.empty();
        });
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
    }
    ~Framed() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (qobject_cast<QDialog*>(top) != nullptr) top->close();
        }
        HideErrorBalloon();
        SetFileChooser({});
        SetMessageBoxHandler({});
    }
    Framed(const Framed&) = delete;
    Framed& operator=(const Framed&) = delete;

    DefinitionCommands* Commands() const { return frame.findChild<DefinitionCommands*>(); }
    void Open(const std::string& path) {
        chosen = path;
        dlg.Document().Actions().open->trigger();
    }
    QTableWidget* List() const {
        return static_cast<QTableWidget*>(GetDlgItem(dlg.Page(0), IDC_LIST));
    }
    int RowOf(int field) const {
        for (int row = 0; row < ListGetItemCount(List()); ++row) {
            LPARAM data = 0;
            if (ListGetItemData(List(), row, data) && data == field) return row;
        }
        return -1;
    }
    // The window of the field, opened as a double click on its row opens it.
    FieldDefinitionWindow* OpenField(int field) {
        const int row = RowOf(field);
        if (row < 0) return nullptr;
        const QPoint cell = List()->visualItemRect(List()->item(row, 0)).center();
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, cell);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<FieldDefinitionWindow*>(top);
            if (window != nullptr && window->isVisible() && window->Field() == field) return window;
        }
        return nullptr;
    }
};

// Types text into the tree's cell editor one key at a time and returns the window's message
// after the last key, before the editor is left.
QString TypeIntoCell(FieldDefinitionWindow& window, const QModelIndex& cell, const QString& text) {
    window.Tree()->setCurrentIndex(cell);
    window.Tree()->edit(cell);
    auto* editor = window.Tree()->findChild<QLineEdit*>();
    if (editor == nullptr) return QStringLiteral("no editor");
    editor->selectAll();
    QTest::keyClicks(editor, text);
    return window.Message();
}

// Return, as the user closes the editor; the view commits on its next turn of the loop.
void CommitCell(FieldDefinitionWindow& window) {
    if (auto* editor = window.Tree()->findChild<QLineEdit*>())
        QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}

}  // namespace

class FieldDefinitionWindowTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QCoreApplication::setOrganizationName(QStringLiteral("iso8583-workbench-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("field_definition_window_test"));
    }
    void init() {
        TheProtocol().Reset();
        TheProtocol().messages.ClearAll();
    }
    void sizeIsTakenOnlyWhenValidAndLeft_data();
    void sizeIsTakenOnlyWhenValidAndLeft();
    void overrideTheModelContradictsIsRefused();
    void appliedEditIsSavedAndLintFindsNothing();
    void untickingSubfieldsKeepsTheStructureAndLintSaysSo();
    void rowTooltipSaysWhatTheFieldHasOfItsOwn_data();
    void rowTooltipSaysWhatTheFieldHasOfItsOwn();
    void headerSettingMarksTheDefinitionModified();
    void importShowsWhatDidNotCarryOver_data();
    void importShowsWhatDidNotCarryOver();
    void foreignNamedFileOfNoKnownShapeIsRefused();
    void standardDialectStartsAnUntitledDefinition();
    void parserAndDiagnosisSetTheHeaderAside();
    void addedSubfieldIsNamedAsItsStructureNamesThem_data();
    void addedSubfieldIsNamedAsItsStructureNamesThem();
    void movingAPositionalSubfieldKeepsTheIds();
    void tagTakenIsRefusedAndARenamedTagKeepsIdOrder();
    void structurePickedForAPlainFieldSetsItsSubfieldFlag();
    void exportWritesAMoovFieldListThatImportsBack();

  private:
    QTemporaryDir settings;
};

// Field 48.01 of the example has size 20: a size is checked as it is typed and stored only when
// the box is left, so the 1 of a 19 being typed never reaches the definition.
void FieldDefinitionWindowTest::sizeIsTakenOnlyWhenValidAndLeft_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("message");
    QTest::newRow("valid") << "19" << 19 << "";
    QTest::newRow("zero") << "0" << 20 << "size 0 is not from 1 to 9999";
    QTest::newRow("too large") << "10000" << 20 << "size 10000 is not from 1 to 9999";
    QTest::newRow("not a number") << "1x" << 20 << "is not a whole number";
}

void FieldDefinitionWindowTest::sizeIsTakenOnlyWhenValidAndLeft() {
    QFETCH(QString, typed);
    QFETCH(int, stored);
    QFETCH(QString, message);
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    FieldDefinitionWindow* window = w.OpenField(48);
    QVERIFY(window != nullptr);
    const QModelIndex cell =
        window->Model()->IndexOfPath("48.01").siblingAtColumn(SubfieldTreeModel::kSize);
    QVERIFY(cell.isValid());
    const QString whileTyping = TypeIntoCell(*window, cell, typed);
    QCOMPARE(TheProtocol().subfields.Find("48.01")->def.size, 20);
    QVERIFY2(whileTyping.contains(message), qPrintable(whileTyping));
    CommitCell(*window);
    QCOMPARE(TheProtocol().subfields.Find("48.01")->def.size, stored);
    QCOMPARE(w.frame.isWindowModified(), stored != 20);
}

// LEN_WHOLE reads a binary prefix; on the example's character prefix the model's rule refuses
// it, and the window says so in the model's words.
void FieldDefinitionWindowTest::overrideTheModelContradictsIsRefused() {
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    FieldDefinitionWindow* window = w.OpenField(48);
    QVERIFY(window != nullptr);
    auto* whole = window->FieldEncodings()->findChildren<QCheckBox*>().at(2);
    QVERIFY(whole->text().contains(QStringLiteral("LEN_WHOLE")));
    whole->click();
    QVERIFY(!TheProtocol().settings[48].prefixNumber);
    QVERIFY2(window->Message().contains(QStringLiteral("LEN_WHOLE applies to a BIGEND")),
             qPrintable(window->Message()));
    QVERIFY(!whole->isChecked());
    QVERIFY(!w.frame.isWindowModified());
}

// An element added under field 48, given a card number mark and an own description, and the
// field's character set: saved through File > Save As, the file reads back without findings.
void FieldDefinitionWindowTest::appliedEditIsSavedAndLintFindsNothing() {
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    FieldDefinitionWindow* window = w.OpenField(48);
    QVERIFY(window != nullptr);
    QCOMPARE(window->Model()->rowCount(), 4);  // 01, 10, 42, 61
    window->Tree()->setCurrentIndex(window->Model()->IndexOfPath("48.61"));
    QPushButton* add = nullptr;
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("&Add")) add = b;
    QVERIFY(add != nullptr);
    add->click();
    const QModelIndex added = window->Tree()->currentIndex().siblingAtColumn(0);
    QCOMPARE(QString::fromStdString(window->Model()->Path(added)), QStringLiteral("48.62"));
    TypeIntoCell(*window, added.siblingAtColumn(SubfieldTreeModel::kDescription), "Loyalty id");
    CommitCell(*window);
    window->Tree()->setCurrentIndex(window->Model()->IndexOfPath("48.62"));
    window->Holds()->setCurrentIndex(window->Holds()->findText(QStringLiteral("Secret data")));
    Q_EMIT window->Holds()->activated(window->Holds()->currentIndex());
    QComboBox* charset = window->FieldEncodings()->Combo(EncodingRole::kCharacter);
    charset->setCurrentIndex(charset->findText(QStringLiteral("EBCDIC")));
    Q_EMIT charset->activated(charset->currentIndex());
    QVERIFY(w.frame.isWindowModified());
    QCOMPARE(window->Findings()->item(0)->text(), QStringLiteral("Nothing to say."));

    QTemporaryDir dir;
    w.chosen = dir.filePath(QStringLiteral("edited.pro")).toStdString();
    window->close();
    QVERIFY(w.dlg.Document().SaveAs(w.dlg.Page(0)));
    auto read = std::make_unique<ProtocolDef>();
    std::string error;
    ProFindings findings;
    QVERIFY(LoadProtocolFile(w.chosen, *read, error, &findings));
    QVERIFY2(findings.empty(), findings.empty() ? "" : findings.front().text.c_str());
    // The command line's lint, which also weighs the lines against each other, says nothing.
    QProcess lint;
    lint.start(QStringLiteral(ISO8583_TOOL),
               {QStringLiteral("lint"), QString::fromStdString(w.chosen)});
    QVERIFY(lint.waitForFinished(30000));
    const QByteArray said = lint.readAllStandardOutput() + lint.readAllStandardError();
    QVERIFY2(said.isEmpty(), said.constData());
    QCOMPARE(lint.exitCode(), 0);
    const SubfieldNode* node = read->subfields.Find("48.62");
    QVERIFY(node != nullptr);
    QCOMPARE(node->def.description, std::string("Loyalty id"));
    QCOMPARE(node->def.holds, SubfieldHolds::kSecret);
    QCOMPARE(read->settings[48].charset, std::optional<Encoding>(Encoding::EBCDIC));
    QVERIFY(!w.frame.isWindowModified());
}

// The page's Subfields box unticked and applied: the structure stays, unused, and lint says so.
void FieldDefinitionWindowTest::untickingSubfieldsKeepsTheStructureAndLintSaysSo() {
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    const QPoint cell = w.List()->visualItemRect(w.List()->item(w.RowOf(48), 0)).center();
    QTest::mouseClick(w.List()->viewport(), Qt::LeftButton, {}, cell);
    SetCheck(GetDlgItem(w.dlg.Page(0), IDC_SUBFIELDS), BST_UNCHECKED);
    QTest::mouseClick(GetDlgItem(w.dlg.Page(0), IDC_APPLY), Qt::LeftButton);
    QVERIFY(!TheProtocol().fields[48].subfield);
    QCOMPARE(TheProtocol().subfields.Field(48)->structure.layout, SubfieldLayout::kTagged);
    QCOMPARE(TheProtocol().subfields.Field(48)->children.size(), std::size_t{4});
    const auto findings = FieldLintFindings(TheProtocol(), 48);
    QCOMPARE(findings.size(), std::size_t{1});
    QVERIFY(findings[0].find("subfield flag is N") != std::string::npos);
}

void FieldDefinitionWindowTest::rowTooltipSaysWhatTheFieldHasOfItsOwn_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("says");
    QTest::newRow("tagged with a card number") << 48 << "tagged subfields, holds card numbers";
    QTest::newRow("prefix of six units") << 127 << "LEN_UNITS 6, bitmapped subfields";
    QTest::newRow("nothing of its own") << 41 << "";
}

// The tip a hovering pointer gets on the row's number cell (wide enough never to be cut, so
// that the list's own tip for cut text says nothing there).
void FieldDefinitionWindowTest::rowTooltipSaysWhatTheFieldHasOfItsOwn() {
    QFETCH(int, field);
    QFETCH(QString, says);
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    QToolTip::hideText();
    const QRect cell = w.List()->visualItemRect(w.List()->item(w.RowOf(field), 5));
    QHelpEvent hover(QEvent::ToolTip, cell.center(),
                     w.List()->viewport()->mapToGlobal(cell.center()));
    QCoreApplication::sendEvent(w.List()->viewport(), &hover);
    const QString tip = QToolTip::isVisible() ? QToolTip::text() : QString();
    if (says.isEmpty())
        QVERIFY2(tip.isEmpty(), qPrintable(tip));
    else
        QVERIFY2(tip.endsWith(says), qPrintable(tip));
    QToolTip::hideText();
}

// A header's units are taken when the box is left, and only while the header is ticked.
void FieldDefinitionWindowTest::headerSettingMarksTheDefinitionModified() {
    Framed w;
    w.Open(kExamples + "/demo.pro");
    w.Commands()->SettingsAction()->trigger();
    auto* window = w.frame.findChild<DialectSettingsWindow*>();
    QVERIFY(window != nullptr);
    QVERIFY(!window->HeaderUnits()->isEnabled());
    window->HasHeader()->click();
    QCOMPARE(TheProtocol().options.header, 0);
    QLineEdit* units = window->HeaderUnits()->Edit();
    units->selectAll();
    QTest::keyClicks(units, "5x");
    QVERIFY(window->HeaderUnits()->Message().contains(QStringLiteral("not a whole number")));
    QTest::keyClick(units, Qt::Key_Return);
    QCOMPARE(TheProtocol().options.header, 0);
    QTest::keyClick(units, Qt::Key_Backspace);
    QTest::keyClick(units, Qt::Key_Return);
    QCOMPARE(TheProtocol().options.header, 5);
    QVERIFY(w.frame.isWindowModified());
    window->HasHeader()->click();
    QCOMPARE(TheProtocol().options.header, -1);
    window->Trailing()->click();
    QVERIFY(TheProtocol().options.trailing);
}

// Small files in each tool's shape, each with one thing its reader cannot carry over.
void FieldDefinitionWindowTest::importShowsWhatDidNotCarryOver_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");  // 0200 with fields 2 and 3, as the library packs it
    QTest::newRow("jPOS packager")
        << "acme.xml"
        << "<?xml version=\"1.0\"?>\n<isopackager>\n"
           "<isofield id=\"0\" length=\"4\" name=\"MTI\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
           "<isofield id=\"1\" length=\"16\" name=\"BITMAP\" class=\"org.jpos.iso.IFA_BITMAP\"/>\n"
           "<isofield id=\"2\" length=\"19\" name=\"PAN\" class=\"org.jpos.iso.IFA_LLNUM\"/>\n"
           "<isofield id=\"3\" length=\"6\" name=\"PROC\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
           "<isofield id=\"52\" length=\"8\" name=\"PIN\" class=\"org.example.MyPinPackager\"/>\n"
           "</isopackager>\n"
        << "field 52: class org.example.MyPinPackager"
        << "acme (imported)"
        << "30323030"
           "36303030303030303030303030303030"
           "3136"
           "34313131313131313131313131313131"
           "303030303030";
    QTest::newRow("moov field list") << "moov.json"
                                     << R"({"name": "Moov test", "fields": {
        "0": {"type": "String", "length": 4, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "1": {"type": "Bitmap", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"},
        "2": {"type": "Numeric", "length": 19, "enc": "ASCII", "prefix": "ASCII.LL"},
        "3": {"type": "Numeric", "length": 6, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "52": {"type": "Mystery", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"}}})"
                                     << "field 52"
                                     << "Moov test (imported)"
                                     << "30323030"
                                        "6000000000000000"
                                        "3136"
                                        "34313131313131313131313131313131"
                                        "303030303030";
}

void FieldDefinitionWindowTest::importShowsWhatDidNotCarryOver() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, note);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    std::ofstream(path.toStdString(), std::ios::binary) << text.toStdString();
    Framed w;
    // Open takes it too: the content, not the name, says what it is.
    w.Open(path.toStdString());
    auto* report = w.frame.findChild<ImportReportWindow*>();
    QVERIFY(report != nullptr);
    const QString said = report->Text()->toPlainText();
    QVERIFY2(said.contains(note), qPrintable(said));
    QCOMPARE(TheProtocol().fields[2].type, FieldType::N);
    QCOMPARE(TheProtocol().fields[2].size, 19);
    QVERIFY(TheProtocol().fields[2].sizeLen > 0);
    QVERIFY(w.frame.windowTitle().startsWith(title + QStringLiteral("[*]")));
    QVERIFY(w.frame.isWindowModified());
    // The Parser page reads the library's message by the imported definition.
    HWND parser = w.dlg.Page(2);
    SetCheck(GetDlgItem(parser, IDC_HEXA), BST_CHECKED);
    SetWindowText(GetDlgItem(parser, IDC_MESSAGE), message.toStdString().c_str());
    w.dlg.Parser().Parse();
    HWND list = GetDlgItem(parser, IDC_LIST);
    QCOMPARE(ListGetItemCount(list), 2);
    QCOMPARE(ListGetItemText(list, 0, 4), std::string("4111111111111111"));
    QCOMPARE(ListGetItemText(list, 1, 4), std::string("000000"));
    // Save goes through Save As: the imported definition has no file yet.
    QTemporaryDir out;
    w.chosen = out.filePath(QStringLiteral("imported.pro")).toStdString();
    QVERIFY(w.dlg.Document().Save(w.dlg.Page(0)));
    QVERIFY(QFileInfo::exists(QString::fromStdString(w.chosen)));
    QVERIFY(!w.frame.isWindowModified());
}

// A .json that is no tool's definition leaves the user's definition as it was, and says why.
void FieldDefinitionWindowTest::foreignNamedFileOfNoKnownShapeIsRefused() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("notes.json")).toStdString();
    std::ofstream(path) << R"({"shopping": ["milk"]})";
    Framed w;
    w.Open(kExamples + "/demo.pro");
    w.Open(path);
    QCOMPARE(TheProtocol().fields[2].type, FieldType::N);
    QVERIFY(w.frame.windowTitle().startsWith(QStringLiteral("demo.pro")));
    QVERIFY(!w.boxes.isEmpty());
    QVERIFY2(w.boxes.last().contains(QStringLiteral("not a jPOS packager")),
             qPrintable(w.boxes.last()));
}

void FieldDefinitionWindowTest::standardDialectStartsAnUntitledDefinition() {
    const QStringList dialects = DefinitionCommands::InstalledDialects();
    QVERIFY2(dialects.size() >= 4, qPrintable(dialects.join(QLatin1Char(' '))));
    Framed w;
    QVERIFY(w.Commands()->NewFromDialect(dialects.first()));
    QVERIFY(w.frame.windowTitle().startsWith(QStringLiteral("iso8583-1987-ascii (new)")));
    QVERIFY(TheProtocol().fields[2].type != FieldType::U);
    QVERIFY(w.dlg.Document().CurrentFile().empty());
}

// OPTION= HEADER; 3: the units come first in the list, the fields parse as without them, their
// offsets counted from the message's first unit; the Diagnosis window sets them aside too.
void FieldDefinitionWindowTest::parserAndDiagnosisSetTheHeaderAside() {
    Framed w;
    w.Open(kExamples + "/demo.pro");
    std::ifstream messages(kExamples + "/demo-messages.hex");
    std::string line;
    std::getline(messages, line);
    HWND parser = w.dlg.Page(2);
    SetCheck(GetDlgItem(parser, IDC_HEXA), BST_CHECKED);
    SetWindowText(GetDlgItem(parser, IDC_MESSAGE), line.c_str());
    QVERIFY(w.dlg.Parser().Parse());
    const int plainOffset = w.dlg.Parser().FieldOffset(2);

    TheProtocol().options.header = 3;
    SetWindowText(GetDlgItem(parser, IDC_MESSAGE), ("600001" + line).c_str());
    QVERIFY(w.dlg.Parser().Parse());
    HWND list = GetDlgItem(parser, IDC_LIST);
    QCOMPARE(ListGetItemText(list, 0, 0), std::string("Header"));
    QCOMPARE(ListGetItemText(list, 0, 3), std::string("3"));
    QCOMPARE(ListGetItemText(list, 0, 4), std::string("600001"));
    QCOMPARE(w.dlg.Parser().FieldOffset(2), plainOffset + 3);
    QCOMPARE(GetWindowText(GetDlgItem(parser, IDC_STATUS)), std::string("... Parsing OK ..."));

    w.dlg.Parser().OpenDiagnosis();
    DiagnosisWindow* diagnosis = w.dlg.Parser().DiagnosisView();
    QVERIFY(diagnosis != nullptr);
    QVERIFY(diagnosis->Result().ok);
    QVERIFY(!diagnosis->Result().map.empty());
    QCOMPARE(diagnosis->Result().map.front().part, MapPart::kHeader);
    QCOMPARE(diagnosis->Result().map.front().units, 3);

    // Shorter than its header: said, and nothing parsed.
    SetWindowText(GetDlgItem(parser, IDC_MESSAGE), "6000");
    QVERIFY(!w.dlg.Parser().Parse());
    QCOMPARE(ListGetItemCount(list), 0);
    QVERIFY(GetWindowText(GetDlgItem(parser, IDC_STATUS)).find("header of 3 units") !=
            std::string::npos);
}

// Each structure names a new subfield its way: the next number, or a tag of the structure's
// width that lint takes (a tag of the wrong width would be a finding on its path).
void FieldDefinitionWindowTest::addedSubfieldIsNamedAsItsStructureNamesThem_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("added");
    QTest::newRow("positional") << 43 << ""
                                << "43.4";
    QTest::newRow("tagged, two characters") << 48 << ""
                                            << "48.62";
    QTest::newRow("nested tagged") << 48 << "48.42"
                                   << "48.42.03";
    QTest::newRow("bitmapped") << 127 << ""
                               << "127.23";
    QTest::newRow("nested, three-digit length") << 127 << "127.22"
                                                << "127.22.03";
    QTest::newRow("BER-TLV") << 55 << ""
                             << "55.DF01";
}

void FieldDefinitionWindowTest::addedSubfieldIsNamedAsItsStructureNamesThem() {
    QFETCH(int, field);
    QFETCH(QString, parent);
    QFETCH(QString, added);
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    FieldDefinitionWindow* window = w.OpenField(field);
    QVERIFY(window != nullptr);
    const QModelIndex above = window->Model()->IndexOfPath(parent.toStdString());
    QCOMPARE(above.isValid(), !parent.isEmpty());
    const QModelIndex index = window->Model()->AddChild(above);
    QCOMPARE(QString::fromStdString(window->Model()->Path(index)), added);
    QVERIFY(TheProtocol().subfields.Find(added.toStdString()) != nullptr);
    // lint may say the field is now too small for its parts, but nothing of the new id.
    for (const std::string& finding : FieldLintFindings(TheProtocol(), field))
        QVERIFY2(finding.find(added.toStdString()) == std::string::npos, finding.c_str());
    QVERIFY(w.frame.isWindowModified());
}

// Positions are the data's order: moving trades the definitions, the ids stay; a tagged element
// is found by its tag and does not move.
void FieldDefinitionWindowTest::movingAPositionalSubfieldKeepsTheIds() {
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    FieldDefinitionWindow* window = w.OpenField(43);
    QVERIFY(window != nullptr);
    const QModelIndex city = window->Model()->IndexOfPath("43.2");
    QVERIFY(!window->Model()->CanMove(window->Model()->IndexOfPath("43.1"), -1));
    const QModelIndex moved = window->Model()->Move(city, -1);
    QCOMPARE(window->Model()->Path(moved), std::string("43.1"));
    QCOMPARE(TheProtocol().subfields.Find("43.1")->def.description, std::string("City"));
    QCOMPARE(TheProtocol().subfields.Find("43.2")->def.description,
             std::string("Card acceptor name"));
    QCOMPARE(TheProtocol().subfields.Find("43.1")->def.size, 13);
    window->close();
    FieldDefinitionWindow* tagged = w.OpenField(48);
    QVERIFY(tagged != nullptr);
    QVERIFY(!tagged->Model()->CanMove(tagged->Model()->IndexOfPath("48.10"), -1));
}

void FieldDefinitionWindowTest::tagTakenIsRefusedAndARenamedTagKeepsIdOrder() {
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    FieldDefinitionWindow* window = w.OpenField(48);
    QVERIFY(window != nullptr);
    const QModelIndex id = window->Model()->IndexOfPath("48.10");
    QVERIFY(window->Model()->flags(id) & Qt::ItemIsEditable);
    QVERIFY(!window->Model()->setData(id, QStringLiteral("01"), Qt::EditRole));
    QVERIFY2(window->Message().contains(QStringLiteral("01 is taken")),
             qPrintable(window->Message()));
    QVERIFY(TheProtocol().subfields.Find("48.10") != nullptr);
    QVERIFY(window->Model()->setData(id, QStringLiteral("50"), Qt::EditRole));
    const SubfieldNode* field = TheProtocol().subfields.Field(48);
    std::vector<std::string> ids;
    for (const SubfieldNode& child : field->children)
        ids.push_back(child.id);
    QCOMPARE(ids, (std::vector<std::string>{"01", "42", "50", "61"}));
    QCOMPARE(field->Child("50")->def.holds, SubfieldHolds::kCardNumber);
    QVERIFY(window->Model()->flags(window->Model()->IndexOfPath("48.42.01")) & Qt::ItemIsEditable);
    window->close();
    // A positional subfield's id is its place: not the user's to type.
    FieldDefinitionWindow* positional = w.OpenField(43);
    QVERIFY(!(positional->Model()->flags(positional->Model()->IndexOfPath("43.1")) &
              Qt::ItemIsEditable));
}

// Field 41 has no structure: picking one gives it the subfield flag its line must carry, and
// the page's row shows the flag.
void FieldDefinitionWindowTest::structurePickedForAPlainFieldSetsItsSubfieldFlag() {
    Framed w;
    w.Open(kExamples + "/subfields.pro");
    FieldDefinitionWindow* window = w.OpenField(41);
    QVERIFY(window != nullptr);
    QComboBox* kind = window->FieldStructure()->Kind();
    kind->setCurrentIndex(kind->findData(static_cast<int>(SubfieldLayout::kPositional)));
    Q_EMIT kind->activated(kind->currentIndex());
    QVERIFY(TheProtocol().fields[41].subfield);
    QCOMPARE(TheProtocol().subfields.Field(41)->structure.layout, SubfieldLayout::kPositional);
    QCOMPARE(ListGetItemText(w.List(), w.RowOf(41), 4), std::string("S"));
    QVERIFY(w.frame.isWindowModified());
}

void FieldDefinitionWindowTest::exportWritesAMoovFieldListThatImportsBack() {
    Framed w;
    w.Open(kExamples + "/demo.pro");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("demo.json"));
    QVERIFY(w.Commands()->Export(path));
    QVERIFY(w.frame.findChild<ImportReportWindow*>() != nullptr);
    std::ifstream in(path.toStdString());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QCOMPARE(RecogniseFormat(text), ForeignFormat::kMoov);
    auto back = std::make_unique<ProtocolDef>();
    back->Reset();
    InteropNotes notes;
    std::string error;
    QVERIFY(ImportDefinition(ForeignFormat::kMoov, text, *back, notes, error));
    for (int n : {2, 3, 4, 11, 41}) {
        QCOMPARE(back->fields[n].type, TheProtocol().fields[n].type);
        QCOMPARE(back->fields[n].size, TheProtocol().fields[n].size);
    }
    QVERIFY(!w.frame.isWindowModified());
}

QTEST_MAIN(FieldDefinitionWindowTest)
#include "field_definition_window_test.moc"
