// The Data Elements page driven as a user drives it: typing, picking, clicking and keys, with
// the protocol definition and the list checked after each step.
#include <optional>

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "model/pro_file.h"
#include "model/protocol.h"
#include "support/error_balloon.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/fld_def_pg.h"
#include "ui/window_text.h"

Q_DECLARE_METATYPE(Encoding)

namespace {

// The state the program starts in, whatever an earlier test left.
void ResetToStartup() {
    ProtocolDef& p = TheProtocol();
    p.Reset();
    p.mtiEnc = Encoding::CHAR;
    p.bmpEnc = Encoding::NONE;
    p.lenEnc = Encoding::BIGEND;
    p.numEnc = Encoding::PBCD;
    p.chrEnc = Encoding::ASCII;
    p.binEnc = Encoding::NONE;
}

void LoadProtocolText(const std::string& text) {
    std::FILE* f = std::tmpfile();
    QVERIFY(f != nullptr);
    std::fputs(text.c_str(), f);
    std::rewind(f);
    TheProtocol().messages.ClearAll();
    ReadProtocolStream(f, TheProtocol());
    std::fclose(f);
}

std::string SavedLines() {
    std::FILE* f = std::tmpfile();
    if (f == nullptr) return {};
    WriteProtocolLines(f, TheProtocol());
    std::fflush(f);
    std::rewind(f);
    std::string out;
    char line[512];
    while (std::fgets(line, sizeof line, f) != nullptr)
        out += line;
    std::fclose(f);
    return out;
}

// The lines that the page decides: the name, the encodings and the data elements.
QStringList DefinitionLines(const std::string& text) {
    QStringList out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        QString l = QString::fromStdString(line);
        if (l.endsWith('\r')) l.chop(1);
        if (l.startsWith("NAME=") || l.contains("_Enc=") || l.startsWith("FIELD=")) out << l;
    }
    return out;
}

struct Element {
    const char* description;
    const char* type;
    const char* length;
    const char* number;
    bool variable;
    bool subfields;
};

class Page {
  public:
    FldDefPg page;
    HWND wnd = nullptr;

    Page() {
        wnd = CreateDialogParam(IDD_FLDDEF, nullptr, &page);
        wnd->show();
        wnd->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(wnd));
    }
    ~Page() {
        HideErrorBalloon();
        delete wnd;
    }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    HWND Item(int id) const { return GetDlgItem(wnd, id); }
    QTableWidget* List() const { return qobject_cast<QTableWidget*>(Item(IDC_LIST)); }

    // Replaces a box's text as a user does: select all, type over it.
    void Type(int id, const QString& text) const {
        HWND box = Item(id);
        SetFocus(box);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(box, char(c.unicode()));
            } else {  // beyond the keys QTest can name: the typed character itself
                QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), {});
            }
        }
    }

    // Opens the drop-down, walks to the entry with the arrow keys and takes it with Enter.
    void Pick(int id, const QString& entry) const {
        auto* combo = qobject_cast<QComboBox*>(Item(id));
        const int index = combo->findText(entry, Qt::MatchExactly);
        QVERIFY2(index >= 0, qPrintable(entry));
        SetFocus(combo);
        QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
        QAbstractItemView* view = combo->view();
        QTRY_VERIFY(view->isVisible());
        QTest::keyClick(view, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
        QTRY_VERIFY(!view->isVisible());
        QCOMPARE(combo->currentIndex(), index);
    }

    void SetChecked(int id, bool checked) const {
        HWND box = Item(id);
        if ((GetCheck(box) == BST_CHECKED) == checked) return;
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QCOMPARE(GetCheck(box) == BST_CHECKED, checked);
    }

    void Apply() const { QTest::mouseClick(Item(IDC_APPLY), Qt::LeftButton); }

    void Enter(const Element& e) const {
        Type(IDC_DESCRIPTION, QString::fromUtf8(e.description));
        if (*e.type != '\0') Pick(IDC_TYPE, QString::fromUtf8(e.type));
        SetChecked(IDC_VARIABLE, e.variable);
        Type(IDC_LENGTH, QString::fromUtf8(e.length));
        SetChecked(IDC_SUBFIELDS, e.subfields);
        Type(IDC_FIELD_NUMBER, QString::fromUtf8(e.number));
    }

    void ClickRow(int row) const {
        QTableWidget* list = List();
        const QRect cell = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    QString Cell(int row, int column) const {
        return QString::fromStdString(ListGetItemText(Item(IDC_LIST), row, column));
    }
    QStringList Column(int column) const {
        QStringList out;
        for (int row = 0; row < ListGetItemCount(Item(IDC_LIST)); ++row)
            out << Cell(row, column);
        return out;
    }
    QString Text(int id) const { return QString::fromStdString(GetWindowText(Item(id))); }
    QString Selected(int id) const {
        const int sel = ComboGetCurSel(Item(id));
        return sel == CB_ERR ? QString() : QString::fromStdString(ComboGetItemText(Item(id), sel));
    }
};

bool NoElementDefined() {
    for (int n = 0; n <= kLastField; ++n)
        if (TheProtocol().fields[n].type != FieldType::U) return false;
    return true;
}

}  // namespace

class FldDefPgTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init() { ResetToStartup(); }

    void pageStartsWithStartupEncodingsAndListColumns();
    void pickingAnEncodingStoresIt_data();
    void pickingAnEncodingStoresIt();
    void applyChecksInputsInOrderAndStoresNothingOnReject_data();
    void applyChecksInputsInOrderAndStoresNothingOnReject();
    void variableAndSubfieldFlagsReachModelAndMarks_data();
    void variableAndSubfieldFlagsReachModelAndMarks();
    void applyOverwritesOrInsertsInFieldOrder();
    void applyWritesTheNumberedElementNotTheSelectedOne();
    void selectingARowLoadsTheEditor();
    void keyInListReloadsSelectedRowBeforeMoving();
    void deleteKeyClearsElementAndApplyBringsItBack();
    void deleteWithoutSelectionChangesNothing();
    void fieldSettingsGoWithDeleteStayWithApplyAndOwnLengthsStay();
    void lengthsComboRecomputesPrefixSizes_data();
    void lengthsComboRecomputesPrefixSizes();
    void nameIsCommittedNormalisedOnLeavingTheBox_data();
    void nameIsCommittedNormalisedOnLeavingTheBox();
    void refreshAfterLoadShowsNoSelectionForUnofferedEncoding();
    void loadedElementLongerThanTheBoxShowsWhole();
    void tabWalksTheEditorInReadingOrder();
    void spaceOrEnterOnFocusedApplyPressesIt_data();
    void spaceOrEnterOnFocusedApplyPressesIt();
    void enterInABoxAppliesNothing();
    void demoDefinitionBuiltByHandSavesAsTheDemoFile();
};

void FldDefPgTest::pageStartsWithStartupEncodingsAndListColumns() {
    Page p;
    QCOMPARE(p.Text(IDC_PROTOCOL_NAME), QString());
    QCOMPARE(p.Selected(IDC_MTI_ENC), QStringLiteral("CHAR"));
    QCOMPARE(p.Selected(IDC_BMP_ENC), QStringLiteral("NONE"));
    QCOMPARE(p.Selected(IDC_LEN_ENC), QStringLiteral("BIGEND"));
    QCOMPARE(p.Selected(IDC_NUM_ENC), QStringLiteral("PBCD"));
    QCOMPARE(p.Selected(IDC_CHR_ENC), QStringLiteral("ASCII"));
    QCOMPARE(p.Selected(IDC_BIN_ENC), QStringLiteral("NONE"));
    QCOMPARE(ComboGetCurSel(p.Item(IDC_TYPE)), CB_ERR);
    QStringList types;
    for (int i = 0; i < ComboGetCount(p.Item(IDC_TYPE)); ++i) {
        types << QString::fromStdString(ComboGetItemText(p.Item(IDC_TYPE), i));
        QCOMPARE(ComboGetItemData(p.Item(IDC_TYPE), i), LPARAM(i + 1));
    }
    QCOMPARE(types, QStringList({"N", "A", "AN", "ANS", "AS", "B", "Z"}));

    QTableWidget* list = p.List();
    QCOMPARE(list->rowCount(), 0);
    QStringList headers;
    for (int c = 0; c < list->columnCount(); ++c)
        headers << list->horizontalHeaderItem(c)->text();
    QCOMPARE(headers,
             QStringList({"Description", "Type", "", "Lenght", "", QString::fromUtf8("N\u00B0")}));
    QCOMPARE(qobject_cast<QLineEdit*>(p.Item(IDC_FIELD_NUMBER))->maxLength(), 3);
    QCOMPARE(qobject_cast<QLineEdit*>(p.Item(IDC_LENGTH))->maxLength(), 4);
    QCOMPARE(qobject_cast<QLineEdit*>(p.Item(IDC_DESCRIPTION))->maxLength(), 128);
    QVERIFY(!QFontInfo(p.wnd->font()).family().isEmpty());
}

void FldDefPgTest::pickingAnEncodingStoresIt_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("field");  // index in MTI, bitmap, lengths, numeric, character, binary
    QTest::addColumn<Encoding>("stored");
    QTest::newRow("MTI PBCD") << IDC_MTI_ENC << "PBCD" << 0 << Encoding::PBCD;
    QTest::newRow("bitmap HEX") << IDC_BMP_ENC << "HEX" << 1 << Encoding::HEX;
    QTest::newRow("bitmap CHAR") << IDC_BMP_ENC << "CHAR" << 1 << Encoding::CHAR;
    QTest::newRow("lengths PBCD") << IDC_LEN_ENC << "PBCD" << 2 << Encoding::PBCD;
    QTest::newRow("lengths CHAR") << IDC_LEN_ENC << "CHAR" << 2 << Encoding::CHAR;
    QTest::newRow("numeric CHAR") << IDC_NUM_ENC << "CHAR" << 3 << Encoding::CHAR;
    QTest::newRow("character EBCDIC") << IDC_CHR_ENC << "EBCDIC" << 4 << Encoding::EBCDIC;
    QTest::newRow("binary HEX") << IDC_BIN_ENC << "HEX" << 5 << Encoding::HEX;
}

void FldDefPgTest::pickingAnEncodingStoresIt() {
    QFETCH(int, id);
    QFETCH(QString, entry);
    QFETCH(int, field);
    QFETCH(Encoding, stored);
    Page p;
    p.Pick(id, entry);
    const ProtocolDef& d = TheProtocol();
    const Encoding all[] = {d.mtiEnc, d.bmpEnc, d.lenEnc, d.numEnc, d.chrEnc, d.binEnc};
    QCOMPARE(all[field], stored);
    QCOMPARE(p.Selected(id), entry);
}

void FldDefPgTest::applyChecksInputsInOrderAndStoresNothingOnReject_data() {
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("rejectedBy");  // 0: stored
    QTest::addColumn<int>("storedSize");

    const int D = IDC_DESCRIPTION, T = IDC_TYPE, L = IDC_LENGTH, N = IDC_FIELD_NUMBER;
    QTest::newRow("empty description is checked before all else") << ""
                                                                  << ""
                                                                  << "0"
                                                                  << "0" << D << 0;
    QTest::newRow("blank description is rejected") << "    "
                                                   << "N"
                                                   << "6"
                                                   << "3" << D << 0;
    QTest::newRow("no type is checked before length and number") << "Amount"
                                                                 << ""
                                                                 << "0"
                                                                 << "0" << T << 0;
    QTest::newRow("length before number") << "Amount"
                                          << "N"
                                          << "0"
                                          << "0" << L << 0;
    QTest::newRow("length 0") << "Amount"
                              << "N"
                              << "0"
                              << "4" << L << 0;
    QTest::newRow("empty length") << "Amount"
                                  << "N"
                                  << ""
                                  << "4" << L << 0;
    QTest::newRow("length 1") << "Amount"
                              << "N"
                              << "1"
                              << "4" << 0 << 1;
    QTest::newRow("length 9999") << "Amount"
                                 << "N"
                                 << "9999"
                                 << "4" << 0 << 9999;
    QTest::newRow("length 0012 is 12") << "Amount"
                                       << "N"
                                       << "0012"
                                       << "4" << 0 << 12;
    QTest::newRow("number 0") << "Amount"
                              << "N"
                              << "12"
                              << "0" << N << 0;
    QTest::newRow("number 1") << "Amount"
                              << "N"
                              << "12"
                              << "1" << N << 0;
    QTest::newRow("empty number") << "Amount"
                                  << "N"
                                  << "12"
                                  << "" << N << 0;
    QTest::newRow("number 2") << "Amount"
                              << "N"
                              << "12"
                              << "2" << 0 << 12;
    QTest::newRow("number 128") << "Amount"
                                << "N"
                                << "12"
                                << "128" << 0 << 12;
    QTest::newRow("number 129") << "Amount"
                                << "N"
                                << "12"
                                << "129" << N << 0;
    QTest::newRow("number 999") << "Amount"
                                << "N"
                                << "12"
                                << "999" << N << 0;
}

void FldDefPgTest::applyChecksInputsInOrderAndStoresNothingOnReject() {
    QFETCH(QString, description);
    QFETCH(QString, type);
    QFETCH(QString, length);
    QFETCH(QString, number);
    QFETCH(int, rejectedBy);
    QFETCH(int, storedSize);
    Page p;
    const std::string typeText = type.toStdString();
    const std::string desc = description.toStdString();
    const std::string len = length.toStdString();
    const std::string num = number.toStdString();
    p.Enter({desc.c_str(), typeText.c_str(), len.c_str(), num.c_str(), false, false});
    p.Apply();
    if (rejectedBy != 0) {
        QVERIFY(ErrorBalloonWindow() != nullptr);
        QCOMPARE(GetFocus(), p.Item(rejectedBy));
        QVERIFY(NoElementDefined());
        QCOMPARE(ListGetItemCount(p.Item(IDC_LIST)), 0);
        return;
    }
    QVERIFY(ErrorBalloonWindow() == nullptr);
    const FldDef& f = TheProtocol().fields[number.toInt()];
    QCOMPARE(f.type, FieldType::N);
    QCOMPARE(int(f.size), storedSize);
    QCOMPARE(QString::fromUtf8(f.description), description);
    QCOMPARE(p.Column(5), QStringList{QString::number(number.toInt())});
    QCOMPARE(p.Cell(0, 3), QString::number(storedSize));
}

void FldDefPgTest::variableAndSubfieldFlagsReachModelAndMarks_data() {
    QTest::addColumn<QString>("lengths");
    QTest::addColumn<QString>("length");
    QTest::addColumn<bool>("variable");
    QTest::addColumn<bool>("subfields");
    QTest::addColumn<int>("sizeLen");
    QTest::addColumn<QString>("marks");

    QTest::newRow("fixed, no subfields") << "BIGEND"
                                         << "19" << false << false << 0 << "";
    QTest::newRow("variable under BIGEND") << "BIGEND"
                                           << "19" << true << false << 1 << "V";
    QTest::newRow("variable 256 under BIGEND") << "BIGEND"
                                               << "256" << true << false << 2 << "V";
    QTest::newRow("variable 999 under CHAR") << "CHAR"
                                             << "999" << true << false << 3 << "V";
    QTest::newRow("variable 16 under HEX") << "HEX"
                                           << "16" << true << false << 2 << "V";
    QTest::newRow("variable 100 under PBCD") << "PBCD"
                                             << "100" << true << false << 2 << "V";
    QTest::newRow("subfields only") << "BIGEND"
                                    << "255" << false << true << 0 << "S";
    QTest::newRow("variable with subfields") << "BIGEND"
                                             << "255" << true << true << 1 << "VS";
}

void FldDefPgTest::variableAndSubfieldFlagsReachModelAndMarks() {
    QFETCH(QString, lengths);
    QFETCH(QString, length);
    QFETCH(bool, variable);
    QFETCH(bool, subfields);
    QFETCH(int, sizeLen);
    QFETCH(QString, marks);
    Page p;
    p.Pick(IDC_LEN_ENC, lengths);
    const std::string len = length.toStdString();
    p.Enter({"Chip data", "B", len.c_str(), "55", variable, subfields});
    p.Apply();
    const FldDef& f = TheProtocol().fields[55];
    QCOMPARE(int(f.sizeLen), sizeLen);
    QCOMPARE(f.subfield, subfields);
    QCOMPARE(p.Cell(0, 2) + p.Cell(0, 4), marks);
}

void FldDefPgTest::applyOverwritesOrInsertsInFieldOrder() {
    Page p;
    for (const char* number : {"41", "2", "11", "3"}) {
        p.Enter({"Element", "AN", "8", number, false, false});
        p.Apply();
    }
    QCOMPARE(p.Column(5), QStringList({"2", "3", "11", "41"}));
    for (int row = 0; row < 4; ++row) {
        LPARAM data = 0;
        QVERIFY(ListGetItemData(p.Item(IDC_LIST), row, data));
        QCOMPARE(QString::number(data), p.Cell(row, 5));
    }

    p.Enter({"  System   trace  ", "N", "6", "11", false, false});
    p.Apply();
    QCOMPARE(p.Column(5), QStringList({"2", "3", "11", "41"}));
    QCOMPARE(p.Cell(2, 0), QStringLiteral("System trace"));
    QCOMPARE(p.Cell(2, 1), QStringLiteral("N"));
    QCOMPARE(p.Cell(2, 3), QStringLiteral("6"));
    QCOMPARE(p.Text(IDC_DESCRIPTION), QStringLiteral("  System   trace  "));  // kept as typed
    QCOMPARE(ListGetNextSelected(p.Item(IDC_LIST)), -1);
}

void FldDefPgTest::applyWritesTheNumberedElementNotTheSelectedOne() {
    Page p;
    p.Enter({"Processing code", "N", "6", "3", false, false});
    p.Apply();
    p.ClickRow(0);
    QCOMPARE(p.Text(IDC_FIELD_NUMBER), QStringLiteral("3"));
    p.Type(IDC_FIELD_NUMBER, "4");
    p.Apply();
    QCOMPARE(p.Column(5), QStringList({"3", "4"}));
    QCOMPARE(QString::fromUtf8(TheProtocol().fields[3].description),
             QStringLiteral("Processing code"));
}

void FldDefPgTest::selectingARowLoadsTheEditor() {
    LoadProtocolText(
        "FIELD=   2;    N;  19; 1; N; Primary account number\n"
        "FIELD=  55;    B; 255; 1; Y; Chip data\n");
    Page p;
    p.page.FillFieldList();
    p.ClickRow(1);
    QCOMPARE(p.Text(IDC_DESCRIPTION), QStringLiteral("Chip data"));
    QCOMPARE(p.Text(IDC_FIELD_NUMBER), QStringLiteral("55"));
    QCOMPARE(p.Text(IDC_LENGTH), QStringLiteral("255"));
    QCOMPARE(p.Selected(IDC_TYPE), QStringLiteral("B"));
    QCOMPARE(GetCheck(p.Item(IDC_VARIABLE)), BST_CHECKED);
    QCOMPARE(GetCheck(p.Item(IDC_SUBFIELDS)), BST_CHECKED);

    QTest::keyClick(p.List(), Qt::Key_Up);
    QCOMPARE(p.Text(IDC_DESCRIPTION), QStringLiteral("Primary account number"));
    QCOMPARE(p.Text(IDC_FIELD_NUMBER), QStringLiteral("2"));
    QCOMPARE(p.Selected(IDC_TYPE), QStringLiteral("N"));
    QCOMPARE(GetCheck(p.Item(IDC_SUBFIELDS)), BST_UNCHECKED);
}

void FldDefPgTest::keyInListReloadsSelectedRowBeforeMoving() {
    LoadProtocolText("FIELD=   3;    N;   6; 0; N; Processing code\n");
    Page p;
    p.page.FillFieldList();
    p.ClickRow(0);
    p.Type(IDC_DESCRIPTION, "not applied");
    SetFocus(p.List());
    // A key that moves nothing still reloads the selected row: the unapplied edit is gone.
    QTest::keyClick(p.List(), Qt::Key_Right);
    QCOMPARE(p.Text(IDC_DESCRIPTION), QStringLiteral("Processing code"));
}

void FldDefPgTest::deleteKeyClearsElementAndApplyBringsItBack() {
    LoadProtocolText(
        "LEN_Enc= BIGEND\n"
        "FIELD=   2;    N;  19; 1; N; Primary account number\n"
        "FIELD=  55;    B; 255; 1; Y; Chip data\n");
    Page p;
    p.page.FillFieldList();
    p.ClickRow(1);
    SetFocus(p.List());
    QTest::keyClick(p.List(), Qt::Key_Delete);
    const FldDef& f = TheProtocol().fields[55];
    QCOMPARE(f.type, FieldType::U);
    QCOMPARE(int(f.size), 0);
    QCOMPARE(int(f.sizeLen), 0);
    QCOMPARE(f.subfield, false);
    QCOMPARE(f.description[0], '\0');
    QCOMPARE(p.Column(5), QStringList{"2"});
    QCOMPARE(p.Text(IDC_DESCRIPTION), QStringLiteral("Chip data"));  // the editor keeps it

    p.Apply();
    QCOMPARE(p.Column(5), QStringList({"2", "55"}));
    QCOMPARE(f.type, FieldType::B);
    QCOMPARE(int(f.size), 255);
    QCOMPARE(int(f.sizeLen), 1);
    QCOMPARE(f.subfield, true);
    QCOMPARE(QString::fromUtf8(f.description), QStringLiteral("Chip data"));
}

void FldDefPgTest::deleteWithoutSelectionChangesNothing() {
    LoadProtocolText("FIELD=   2;    N;  19; 1; N; Primary account number\n");
    Page p;
    p.page.FillFieldList();
    SetFocus(p.List());
    p.List()->setCurrentItem(nullptr);
    QCOMPARE(ListGetNextSelected(p.Item(IDC_LIST)), -1);
    QTest::keyClick(p.List(), Qt::Key_Delete);
    QCOMPARE(TheProtocol().fields[2].type, FieldType::N);
    QCOMPARE(p.Column(5), QStringList{"2"});
}

void FldDefPgTest::fieldSettingsGoWithDeleteStayWithApplyAndOwnLengthsStay() {
    LoadProtocolText(
        "LEN_Enc= PBCD\n"
        "FIELD=   2;    N;  19; 5; N; Primary account number\n"
        "FIELD=  35;    Z;  37; 2; N; Track 2\n"
        "FIELD=  55;    B; 255; 5; Y; Chip data\n"
        "FIELD_OPTION=  2; LEN_Enc; CHAR\n"
        "FIELD_OPTION= 35; BIN_Enc; PBCD\n"
        "FIELD_OPTION= 55; BIN_Enc; HEX\n");
    Page p;
    p.page.ShowProtocol();
    p.page.FillFieldList();
    ProtocolDef& d = TheProtocol();
    // A field with a length encoding of its own keeps its prefix size; the others follow.
    p.Pick(IDC_LEN_ENC, "BIGEND");
    QCOMPARE(int(d.fields[2].sizeLen), 5);
    QCOMPARE(int(d.fields[55].sizeLen), 1);

    p.ClickRow(1);  // 35, applied again as it stands
    p.Apply();
    QCOMPARE(d.settings[35].binEnc, std::optional<Encoding>(Encoding::PBCD));

    p.ClickRow(2);  // 55, deleted and applied back: the dialect's encodings again
    SetFocus(p.List());
    QTest::keyClick(p.List(), Qt::Key_Delete);
    QVERIFY(!d.settings[55].Any());
    p.Apply();
    QCOMPARE(d.fields[55].type, FieldType::B);
    QVERIFY(!d.settings[55].Any());
    QCOMPARE(d.settings[35].binEnc, std::optional<Encoding>(Encoding::PBCD));
}

void FldDefPgTest::lengthsComboRecomputesPrefixSizes_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("prefix19");
    QTest::addColumn<int>("prefix255");
    QTest::addColumn<int>("prefix9999");
    QTest::newRow("BIGEND") << "BIGEND" << 1 << 1 << 2;
    QTest::newRow("PBCD") << "PBCD" << 1 << 2 << 2;
    QTest::newRow("HEX") << "HEX" << 2 << 2 << 4;
    QTest::newRow("CHAR") << "CHAR" << 2 << 3 << 4;
}

void FldDefPgTest::lengthsComboRecomputesPrefixSizes() {
    QFETCH(QString, entry);
    QFETCH(int, prefix19);
    QFETCH(int, prefix255);
    QFETCH(int, prefix9999);
    // Prefix sizes as a file wrote them, whatever the encoding would give.
    LoadProtocolText(
        "LEN_Enc= PBCD\n"
        "FIELD=   2;    N;  19; 5; N; Primary account number\n"
        "FIELD=   3;    N;   6; 0; N; Processing code\n"
        "FIELD=  55;    B; 255; 5; Y; Chip data\n"
        "FIELD=  60;  ANS;9999; 5; N; Private\n");
    Page p;
    p.page.ShowProtocol();
    p.page.FillFieldList();
    // Start from another entry so that the pick is a change.
    p.Pick(IDC_LEN_ENC, entry == "PBCD" ? "CHAR" : "PBCD");
    p.Pick(IDC_LEN_ENC, entry);
    const ProtocolDef& d = TheProtocol();
    QCOMPARE(NameOf(d.lenEnc), entry.toStdString().c_str());
    QCOMPARE(int(d.fields[2].sizeLen), prefix19);
    QCOMPARE(int(d.fields[3].sizeLen), 0);
    QCOMPARE(int(d.fields[55].sizeLen), prefix255);
    QCOMPARE(int(d.fields[60].sizeLen), prefix9999);
    QCOMPARE(p.Column(2), QStringList({"V", "", "V", "V"}));
}

void FldDefPgTest::nameIsCommittedNormalisedOnLeavingTheBox_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("committed");
    QTest::newRow("blanks collapsed") << "  Demo   host  protocol "
                                      << "Demo host protocol";
    QTest::newRow("128 characters kept") << QString(128, 'n') << QString(128, 'n');
    // Cut first, then normalised: the leading blank counts in the 128.
    QTest::newRow("cut to 128 before normalising")
        << " " + QString(127, 'a') + "bcd" << QString(127, 'a');
    QTest::newRow("cut between characters, never inside one")
        << QString(70, QChar(0xE9)) << QString(64, QChar(0xE9));
    QTest::newRow("blank name") << "   "
                                << "";
}

void FldDefPgTest::nameIsCommittedNormalisedOnLeavingTheBox() {
    QFETCH(QString, typed);
    QFETCH(QString, committed);
    Page p;
    p.Type(IDC_PROTOCOL_NAME, typed);
    QCOMPARE(QString::fromUtf8(TheProtocol().name), QString());  // not before leaving
    QTest::keyClick(p.Item(IDC_PROTOCOL_NAME), Qt::Key_Tab);
    QVERIFY(!p.Item(IDC_PROTOCOL_NAME)->hasFocus());
    QCOMPARE(QString::fromUtf8(TheProtocol().name), committed);
    QCOMPARE(p.Text(IDC_PROTOCOL_NAME), committed);
}

void FldDefPgTest::refreshAfterLoadShowsNoSelectionForUnofferedEncoding() {
    Page p;
    p.Enter({"Kept in the editor", "AN", "8", "41", true, false});
    // No lengths line: the reader leaves NONE; numeric HEX is not offered either.
    LoadProtocolText(
        "NAME= Loaded host\n"
        "MTI_Enc= PBCD\n"
        "BMP_Enc= HEX\n"
        "NUM_Enc= HEX\n"
        "CHR_Enc= EBCDIC\n"
        "BIN_Enc= CHAR\n"
        "FIELD=  35;   Z;  37; 1; N; Track 2\n"
        "FIELD=   4;   N;  12; 0; N; Amount\n");
    p.page.ShowProtocol();
    QVERIFY(p.page.FillFieldList());
    QCOMPARE(p.Text(IDC_PROTOCOL_NAME), QStringLiteral("Loaded host"));
    QCOMPARE(p.Selected(IDC_MTI_ENC), QStringLiteral("PBCD"));
    QCOMPARE(p.Selected(IDC_BMP_ENC), QStringLiteral("HEX"));
    QCOMPARE(ComboGetCurSel(p.Item(IDC_LEN_ENC)), CB_ERR);
    QCOMPARE(ComboGetCurSel(p.Item(IDC_NUM_ENC)), CB_ERR);
    QCOMPARE(p.Selected(IDC_CHR_ENC), QStringLiteral("EBCDIC"));
    QCOMPARE(p.Selected(IDC_BIN_ENC), QStringLiteral("CHAR"));
    QCOMPARE(TheProtocol().lenEnc, Encoding::NONE);
    QCOMPARE(TheProtocol().numEnc, Encoding::HEX);
    QCOMPARE(p.Column(5), QStringList({"4", "35"}));
    QCOMPARE(p.Column(1), QStringList({"N", "Z"}));
    QCOMPARE(p.Column(2), QStringList({"", "V"}));
    QCOMPARE(ListGetNextSelected(p.Item(IDC_LIST)), -1);
    QCOMPARE(p.Text(IDC_DESCRIPTION), QStringLiteral("Kept in the editor"));

    // Until the user picks a lengths entry, prefixes are counted in decimal digits.
    p.Enter({"Long", "ANS", "999", "48", true, false});
    p.Apply();
    QCOMPARE(int(TheProtocol().fields[48].sizeLen), 3);
    QCOMPARE(TheProtocol().lenEnc, Encoding::NONE);
}

void FldDefPgTest::loadedElementLongerThanTheBoxShowsWhole() {
    LoadProtocolText("FIELD=  62;  ANS;32767; 0; N; Oversized\n");
    Page p;
    p.page.FillFieldList();
    p.ClickRow(0);
    QCOMPARE(p.Text(IDC_LENGTH), QStringLiteral("32767"));
    p.Apply();  // beyond what the page may set: refused, not cut to four digits
    QCOMPARE(GetFocus(), p.Item(IDC_LENGTH));
    QCOMPARE(int(TheProtocol().fields[62].size), 32767);
}

void FldDefPgTest::tabWalksTheEditorInReadingOrder() {
    Page p;
    SetFocus(p.Item(IDC_DESCRIPTION));
    QList<int> visited;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(GetFocus(), Qt::Key_Tab);
        visited << GetDlgCtrlID(GetFocus());
    }
    QCOMPARE(visited, QList<int>({IDC_FIELD_NUMBER, IDC_TYPE, IDC_VARIABLE, IDC_LENGTH,
                                  IDC_SUBFIELDS, IDC_APPLY}));
}

void FldDefPgTest::spaceOrEnterOnFocusedApplyPressesIt_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void FldDefPgTest::spaceOrEnterOnFocusedApplyPressesIt() {
    QFETCH(int, key);
    Page p;
    p.Enter({"Processing code", "N", "6", "3", false, false});
    SetFocus(p.Item(IDC_APPLY));
    QTest::keyClick(p.Item(IDC_APPLY), Qt::Key(key));
    QCOMPARE(TheProtocol().fields[3].type, FieldType::N);
    QCOMPARE(p.Column(5), QStringList{"3"});
}

void FldDefPgTest::enterInABoxAppliesNothing() {
    Page p;
    p.Enter({"Processing code", "N", "6", "3", false, false});
    for (int id : {IDC_DESCRIPTION, IDC_LENGTH, IDC_FIELD_NUMBER}) {
        SetFocus(p.Item(id));
        QTest::keyClick(p.Item(id), Qt::Key_Return);
    }
    QVERIFY(NoElementDefined());
    QCOMPARE(ListGetItemCount(p.Item(IDC_LIST)), 0);
}

void FldDefPgTest::demoDefinitionBuiltByHandSavesAsTheDemoFile() {
    Page p;
    p.Type(IDC_PROTOCOL_NAME, "Demo host protocol");
    QTest::keyClick(p.Item(IDC_PROTOCOL_NAME), Qt::Key_Tab);
    const Element demo[] = {
        {"Primary account number", "N", "19", "2", true, false},
        {"Processing code", "N", "6", "3", false, false},
        {"Amount, transaction", "N", "12", "4", false, false},
        {"System trace audit number", "N", "6", "11", false, false},
        {"Card acceptor terminal id", "ANS", "8", "41", false, false},
        {"Chip data", "B", "255", "55", true, true},
    };
    for (const Element& e : demo) {
        p.Enter(e);
        p.Apply();
        QVERIFY2(ErrorBalloonWindow() == nullptr, e.description);
    }
    std::ifstream file(ISO_EXAMPLES_DIR "/demo.pro");
    QVERIFY(file.good());
    std::stringstream expected;
    expected << file.rdbuf();
    QCOMPARE(DefinitionLines(SavedLines()), DefinitionLines(expected.str()));
}

QTEST_MAIN(FldDefPgTest)
#include "fld_def_pg_test.moc"
