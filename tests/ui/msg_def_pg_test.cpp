// The Messages page, driven through its controls: adding, deleting and retitling messages,
// marking fields with the list keys, and the two mask boxes.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "model/pro_file.h"
#include "model/protocol.h"
#include "support/error_balloon.h"
#include "support/text.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/msg_def_pg.h"
#include "ui/window_text.h"

namespace {

const std::string kZeros(32, '0');

std::string Mask(const char* head) {
    std::string digits = head;
    return digits + kZeros.substr(digits.size());
}

void ResetProtocol() {
    TheProtocol().Reset();
    TheProtocol().messages.ClearAll();
}

// The demo's data elements (fields 2, 3, 4, 11, 41 and 55) without its messages.
void LoadDemoFields() {
    ResetProtocol();
    QVERIFY(ReadProtocolFile(ISO_EXAMPLES_DIR "/demo.pro", TheProtocol()));
    TheProtocol().messages.ClearAll();
}

void DefineMessages(int count) {
    for (int i = 0; i < count; ++i) {
        auto m = std::make_unique<MsgDef>();
        InitMsgDef(*m, TheProtocol());
        std::snprintf(m->mti, sizeof m->mti, "%04d", (1000 + i) % 10000);
        TheProtocol().messages.PutIfEmpty(i, m);
    }
}

int UsedSlots() {
    int used = 0;
    for (int i = 0; i < TheProtocol().messages.SlotCount(); ++i)
        used += TheProtocol().messages.At(i) != nullptr;
    return used;
}

std::string MtiAt(int slot) {
    const MsgDef* m = TheProtocol().messages.At(slot).get();
    return m == nullptr ? std::string() : std::string(m->mti);
}

struct BoxSeen {
    bool seen = false;
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Answers the message box that the next blocking call opens, noting what it showed.
void AnswerNextBox(QMessageBox::StandardButton answer, BoxSeen& seen, int attempt = 0) {
    QTimer::singleShot(20, [answer, &seen, attempt] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (attempt < 50) AnswerNextBox(answer, seen, attempt + 1);
            return;
        }
        seen.seen = true;
        seen.text = box->text();
        seen.caption = box->windowTitle();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        if (QAbstractButton* button = box->button(answer)) {
            button->click();
        } else {
            box->close();
        }
    });
}

struct Page {
    MsgDefPg pg;
    HWND wnd = nullptr;

    Page() {
        wnd = CreateDialogParam(IDD_MSGDEF, nullptr, &pg);
        wnd->show();
        wnd->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(wnd));
    }
    ~Page() {
        HideErrorBalloon();
        SetMessageBoxHandler({});
        delete wnd;
    }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // What the main window does after a load.
    void Refresh() {
        pg.FillMessageList();
        pg.FillFieldList();
    }

    HWND Item(int id) const { return GetDlgItem(wnd, id); }
    QComboBox* Combo() const { return static_cast<QComboBox*>(Item(IDC_MTI)); }
    QTableWidget* List() const { return static_cast<QTableWidget*>(Item(IDC_LIST)); }

    void Click(int id) { QTest::mouseClick(Item(id), Qt::LeftButton); }
    void Type(QLineEdit* edit, const QString& text) {
        Activate();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(edit, c.toLatin1());
            } else {
                edit->insert(c);  // QTest types ASCII only: the rest comes in as if pasted
            }
        }
    }
    void TypeMti(const QString& text) { Type(Combo()->lineEdit(), text); }
    void TypeInto(int id, const QString& text) { Type(static_cast<QLineEdit*>(Item(id)), text); }
    std::string Text(int id) const { return GetWindowText(Item(id)); }

    // A message box took the activation: focus changes reach the page's controls only when
    // its window is active again.
    void Activate() {
        wnd->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(wnd));
    }
    void Add(const QString& mti, const QString& title = {}) {
        TypeMti(mti);
        TypeInto(IDC_TITLE, title);
        Click(IDC_ADD_MSG);
    }
    // Picks the entry from the opened list, as the user does with the mouse.
    void Pick(const QString& mti) {
        QComboBox* combo = Combo();
        const int index = combo->findText(mti);
        QVERIFY2(index >= 0, qPrintable(mti));
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTRY_VERIFY(view->isVisible());
        const QModelIndex entry = view->model()->index(index, 0);
        view->scrollTo(entry);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(entry).center());
        QTRY_VERIFY(!view->isVisible());
    }
    int RowOf(int n) const {
        for (int row = 0; row < ListGetItemCount(List()); ++row) {
            LPARAM data = 0;
            if (ListGetItemData(List(), row, data) && data == n) return row;
        }
        return -1;
    }
    void SelectField(int n) {
        const int row = RowOf(n);
        QVERIFY(row >= 0);
        QTableWidget* list = List();
        list->scrollToItem(list->item(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row, 0)).center());
        QCOMPARE(ListGetNextSelected(list), row);
    }
    void Key(Qt::Key key) { QTest::keyClick(List(), key); }
    // Columns 1 and 2 of the field's row.
    QString Marks(int n) const {
        const int row = RowOf(n);
        return QString::fromStdString(ListGetItemText(List(), row, 1) + "|" +
                                      ListGetItemText(List(), row, 2));
    }
    bool EditorEnabled() const {
        const bool buttons = IsWindowEnabled(Item(IDC_DELETE_MSG)) &&
                             IsWindowEnabled(Item(IDC_RETITLE)) && IsWindowEnabled(Item(IDC_APPLY));
        return buttons && IsWindowVisible(Item(IDC_STATUS));
    }
    bool EditorDisabled() const {
        const bool buttons = !IsWindowEnabled(Item(IDC_DELETE_MSG)) &&
                             !IsWindowEnabled(Item(IDC_RETITLE)) &&
                             !IsWindowEnabled(Item(IDC_APPLY));
        return buttons && !IsWindowVisible(Item(IDC_STATUS));
    }
    // The slot of the combo box's selected entry, -1 without one.
    int CurrentSlot() const {
        const int sel = ComboGetCurSel(Combo());
        return sel == CB_ERR ? -1 : static_cast<int>(ComboGetItemData(Combo(), sel));
    }
    QStringList Entries() const {
        QStringList out;
        for (int i = 0; i < ComboGetCount(Combo()); ++i) {
            out << QStringLiteral("%1@%2")
                       .arg(QString::fromStdString(ComboGetItemText(Combo(), i)))
                       .arg(ComboGetItemData(Combo(), i));
        }
        return out;
    }
};

}  // namespace

class MsgDefPgTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init() { LoadDemoFields(); }
    void cleanupTestCase() { ResetProtocol(); }

    void startsEmptyWithColumnsAndEditorOff();
    void fillListsShowsSortedMtisAndDefinedFields();
    void addRejectsMtiThatIsNotFourDigits_data();
    void addRejectsMtiThatIsNotFourDigits();
    void addStoresNormalisedTitleInFirstEmptySlotAndResetsPage();
    void addAfterDeletionFillsTheFreedSlot();
    void addOfDefinedMtiSaysSoAndKeepsTypedText();
    void addWithNinetyNineDefinedAddsNothingSilentlyAndResetsPage();
    void pickShowsMessageAndFreesTextFieldForNextMti();
    void deleteDeclinedKeepsMessageAndSelection();
    void deleteConfirmedFreesOnlyItsSlot();
    void retitleStoresNormalisedTitle_data();
    void retitleStoresNormalisedTitle();
    void applyReloadsTitleFromModel();
    void listKeysSetMarksAndMasksAtOnce();
    void listKeysWithoutCurrentMessageChangeNothing();
    void applyParsesMaskText_data();
    void applyParsesMaskText();
    void fieldInBothMasksShowsMandatoryAndRightArrowMakesItOptional();
    void keysKeepBitsOfField1AndUndefinedFields();
    void deletedDataElementLosesItsRowButKeepsItsBits();
    void demoMessagesEnteredOnPageSaveAsInDemoFile();
};

void MsgDefPgTest::startsEmptyWithColumnsAndEditorOff() {
    Page p;
    QTableWidget* list = p.List();
    QCOMPARE(list->columnCount(), 4);
    const char* headers[] = {"Description", "Mandatory", "Optional", "N\u00B0"};
    for (int c = 0; c < 4; ++c)
        QCOMPARE(list->horizontalHeaderItem(c)->text(), QString::fromUtf8(headers[c]));
    QCOMPARE(list->rowCount(), 0);
    QCOMPARE(ComboGetCount(p.Combo()), 0);
    QVERIFY(p.EditorDisabled());
    QVERIFY(IsWindowEnabled(p.Item(IDC_ADD_MSG)));
    QCOMPARE(p.Combo()->lineEdit()->maxLength(), 4);
    QCOMPARE(static_cast<QLineEdit*>(p.Item(IDC_TITLE))->maxLength(), 128);
    QVERIFY(!QFontInfo(p.wnd->font()).family().isEmpty());  // else every glyph is a box
}

void MsgDefPgTest::fillListsShowsSortedMtisAndDefinedFields() {
    DefineMessages(3);  // 1000, 1001, 1002 in slots 0 to 2
    std::strcpy(TheProtocol().messages.At(0)->mti, "0800");
    std::strcpy(TheProtocol().messages.At(1)->mti, "0100");
    Page p;
    p.Refresh();
    QCOMPARE(p.Entries(), (QStringList{"0100@1", "0800@0", "1002@2"}));
    QList<int> numbers;
    for (int row = 0; row < p.List()->rowCount(); ++row) {
        numbers << QString::fromStdString(ListGetItemText(p.List(), row, 3)).toInt();
        LPARAM data = 0;
        QVERIFY(ListGetItemData(p.List(), row, data));
        QCOMPARE(data, LPARAM(numbers.back()));
    }
    QCOMPARE(numbers, (QList<int>{2, 3, 4, 11, 41, 55}));
    QCOMPARE(ListGetItemText(p.List(), 0, 0), std::string("Primary account number"));
    QCOMPARE(p.Marks(2), QStringLiteral("|"));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), std::string());
}

void MsgDefPgTest::addRejectsMtiThatIsNotFourDigits_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("three digits") << "020";
    QTest::newRow("a letter") << "02A0";
    QTest::newRow("a blank inside") << "02 0";
    QTest::newRow("a blank at the end") << "020 ";
    QTest::newRow("nothing") << "";
}

void MsgDefPgTest::addRejectsMtiThatIsNotFourDigits() {
    QFETCH(QString, typed);
    Page p;
    p.Refresh();
    p.Add(typed, QStringLiteral("Title"));
    QVERIFY(ErrorBalloonWindow() != nullptr);
    QVERIFY(p.Combo()->hasFocus() || p.Combo()->lineEdit()->hasFocus());
    QCOMPARE(UsedSlots(), 0);
    QCOMPARE(p.Combo()->currentText(), typed);
    QCOMPARE(p.Text(IDC_TITLE), std::string("Title"));
}

void MsgDefPgTest::addStoresNormalisedTitleInFirstEmptySlotAndResetsPage() {
    Page p;
    p.Add(QStringLiteral("0800"), QStringLiteral("  Network   management "));
    p.Add(QStringLiteral("0200"), QString());
    QCOMPARE(MtiAt(0), std::string("0800"));
    QCOMPARE(std::string(TheProtocol().messages.At(0)->title), std::string("Network management"));
    QCOMPARE(MtiAt(1), std::string("0200"));
    QCOMPARE(std::string(TheProtocol().messages.At(1)->title), std::string());
    QCOMPARE(p.Entries(), (QStringList{"0200@1", "0800@0"}));
    // Not selected afterwards, the list filled without marks.
    QCOMPARE(p.CurrentSlot(), -1);
    QCOMPARE(p.Combo()->currentText(), QString());
    QCOMPARE(p.Text(IDC_TITLE), std::string());
    QVERIFY(p.EditorDisabled());
    QCOMPARE(p.List()->rowCount(), 6);
    QCOMPARE(p.Marks(2), QStringLiteral("|"));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), std::string());
    QCOMPARE(p.Text(IDC_OPTIONAL_MASK), std::string());
    QVERIFY(ErrorBalloonWindow() == nullptr);
}

void MsgDefPgTest::addAfterDeletionFillsTheFreedSlot() {
    Page p;
    for (const char* mti : {"0100", "0200", "0300"})
        p.Add(QString::fromLatin1(mti));
    p.Pick(QStringLiteral("0200"));
    BoxSeen box;
    AnswerNextBox(QMessageBox::Yes, box);
    p.Click(IDC_DELETE_MSG);
    QVERIFY(box.seen);
    p.Add(QStringLiteral("0050"));
    QCOMPARE(MtiAt(1), std::string("0050"));
    QCOMPARE(p.Entries(), (QStringList{"0050@1", "0100@0", "0300@2"}));
}

void MsgDefPgTest::addOfDefinedMtiSaysSoAndKeepsTypedText() {
    Page p;
    p.Add(QStringLiteral("0100"));
    p.Add(QStringLiteral("0200"), QStringLiteral("Financial request"));
    p.Pick(QStringLiteral("0100"));
    BoxSeen question;
    AnswerNextBox(QMessageBox::Yes, question);
    p.Click(IDC_DELETE_MSG);  // slot 0 is empty now, before 0200's slot
    QVERIFY(question.seen);

    // The typed MTI leaves the text field for the title box: that is no pick of the entry.
    BoxSeen box;
    AnswerNextBox(QMessageBox::Ok, box);
    p.TypeMti(QStringLiteral("0200"));
    p.TypeInto(IDC_TITLE, QStringLiteral("Another"));
    QVERIFY(QApplication::focusWidget() == p.Item(IDC_TITLE));
    QCOMPARE(p.CurrentSlot(), -1);
    p.Click(IDC_ADD_MSG);
    QVERIFY(box.seen);
    QCOMPARE(box.text, QStringLiteral("Message already defined"));
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(UsedSlots(), 1);
    QCOMPARE(std::string(TheProtocol().messages.At(1)->title), std::string("Financial request"));
    QCOMPARE(p.Combo()->currentText(), QStringLiteral("0200"));
    QCOMPARE(p.Text(IDC_TITLE), std::string("Another"));
    QVERIFY(ErrorBalloonWindow() == nullptr);
}

void MsgDefPgTest::addWithNinetyNineDefinedAddsNothingSilentlyAndResetsPage() {
    DefineMessages(99);
    Page p;
    QStringList boxes;
    SetMessageBoxHandler([&boxes](HWND, const std::string& text, const std::string&, unsigned) {
        boxes << QString::fromStdString(text);
        return IDOK;
    });
    p.Refresh();
    p.Pick(QStringLiteral("1042"));
    QVERIFY(p.EditorEnabled());
    p.Add(QStringLiteral("9999"), QStringLiteral("Too many"));
    QCOMPARE(boxes, QStringList());
    QVERIFY(ErrorBalloonWindow() == nullptr);
    QCOMPARE(UsedSlots(), 99);
    QCOMPARE(TheProtocol().messages.FindByMti("9999"), MsgTable::kNone);
    QCOMPARE(ComboGetCount(p.Combo()), 99);
    QCOMPARE(p.CurrentSlot(), -1);
    QCOMPARE(p.Combo()->currentText(), QString());
    QCOMPARE(p.Text(IDC_TITLE), std::string());
    QVERIFY(p.EditorDisabled());
}

void MsgDefPgTest::pickShowsMessageAndFreesTextFieldForNextMti() {
    Page p;
    p.Add(QStringLiteral("0200"), QStringLiteral("Financial request"));
    SetBit(TheProtocol().messages.At(0)->mandatory, 3);
    p.Pick(QStringLiteral("0200"));
    QCOMPARE(p.CurrentSlot(), 0);
    QCOMPARE(p.Combo()->currentText(), QString());
    QCOMPARE(p.Text(IDC_TITLE), std::string("Financial request"));
    QVERIFY(p.EditorEnabled());
    QCOMPARE(p.Marks(3), QStringLiteral("Mandatory|"));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), Mask("2"));
    QCOMPARE(p.Text(IDC_OPTIONAL_MASK), kZeros);

    // The message stays current while a new MTI is typed, and the typed one is added.
    p.TypeMti(QStringLiteral("0210"));
    QCOMPARE(p.CurrentSlot(), 0);
    p.SelectField(2);
    p.Key(Qt::Key_Left);
    QVERIFY(TestBit(TheProtocol().messages.At(0)->mandatory, 2));
    p.Click(IDC_ADD_MSG);
    QCOMPARE(MtiAt(1), std::string("0210"));
    QCOMPARE(p.CurrentSlot(), -1);
}

void MsgDefPgTest::deleteDeclinedKeepsMessageAndSelection() {
    Page p;
    p.Add(QStringLiteral("0200"));
    p.Add(QStringLiteral("0800"));
    p.Pick(QStringLiteral("0800"));
    BoxSeen box;
    AnswerNextBox(QMessageBox::No, box);
    p.Click(IDC_DELETE_MSG);
    QVERIFY(box.seen);
    QCOMPARE(box.text,
             QStringLiteral("Do you confirm the deletion of the current message definition ?"));
    QCOMPARE(box.caption, QStringLiteral("Deletion"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(UsedSlots(), 2);
    QCOMPARE(p.CurrentSlot(), 1);
    QVERIFY(p.EditorEnabled());
}

void MsgDefPgTest::deleteConfirmedFreesOnlyItsSlot() {
    Page p;
    for (const char* mti : {"0100", "0200", "0300"})
        p.Add(QString::fromLatin1(mti));
    p.Pick(QStringLiteral("0100"));
    BoxSeen box;
    AnswerNextBox(QMessageBox::Yes, box);
    p.Click(IDC_DELETE_MSG);
    QVERIFY(box.seen);
    QCOMPARE(MtiAt(0), std::string());
    QCOMPARE(MtiAt(1), std::string("0200"));
    QCOMPARE(MtiAt(2), std::string("0300"));
    QCOMPARE(p.Entries(), (QStringList{"0200@1", "0300@2"}));
    QCOMPARE(p.CurrentSlot(), -1);
    QVERIFY(p.EditorDisabled());
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), std::string());
}

void MsgDefPgTest::retitleStoresNormalisedTitle_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("repeated blanks") << "  Financial    request  "
                                     << "Financial request";
    QTest::newRow("empty box") << ""
                               << "";
    QTest::newRow("blanks only") << "   "
                                 << "";
    QTest::newRow("accented letters kept") << "Requ\u00EAte  financi\u00E8re"
                                           << "Requ\u00EAte financi\u00E8re";
}

void MsgDefPgTest::retitleStoresNormalisedTitle() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    Page p;
    p.Add(QStringLiteral("0200"), QStringLiteral("Old title"));
    p.Pick(QStringLiteral("0200"));
    p.TypeInto(IDC_TITLE, typed);
    p.Click(IDC_RETITLE);
    QCOMPARE(QString::fromUtf8(TheProtocol().messages.At(0)->title), stored);
    QCOMPARE(QString::fromStdString(p.Text(IDC_TITLE)), stored);
    QCOMPARE(p.CurrentSlot(), 0);
}

void MsgDefPgTest::applyReloadsTitleFromModel() {
    Page p;
    p.Add(QStringLiteral("0200"), QStringLiteral("Stored"));
    p.Pick(QStringLiteral("0200"));
    p.TypeInto(IDC_TITLE, QStringLiteral("Typed but not stored"));
    p.TypeInto(IDC_MANDATORY_MASK, QString::fromStdString(Mask("7")));
    p.Click(IDC_APPLY);
    QCOMPARE(p.Text(IDC_TITLE), std::string("Stored"));
    QCOMPARE(p.Marks(4), QStringLiteral("Mandatory|"));
}

void MsgDefPgTest::listKeysSetMarksAndMasksAtOnce() {
    Page p;
    p.Add(QStringLiteral("0200"));
    p.Pick(QStringLiteral("0200"));
    const MsgDef& m = *TheProtocol().messages.At(0);
    p.SelectField(2);

    p.Key(Qt::Key_Left);
    QCOMPARE(p.Marks(2), QStringLiteral("Mandatory|"));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), "40" + std::string(30, '0'));
    QCOMPARE(p.Text(IDC_OPTIONAL_MASK), kZeros);
    QVERIFY(TestBit(m.mandatory, 2) && !TestBit(m.optional, 2));

    p.Key(Qt::Key_Right);
    QCOMPARE(p.Marks(2), QStringLiteral("|Optional"));
    QCOMPARE(p.Text(IDC_OPTIONAL_MASK), "40" + std::string(30, '0'));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), kZeros);
    QVERIFY(!TestBit(m.mandatory, 2) && TestBit(m.optional, 2));

    p.Key(Qt::Key_Space);
    QCOMPARE(p.Marks(2), QStringLiteral("|"));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), kZeros);
    QCOMPARE(p.Text(IDC_OPTIONAL_MASK), kZeros);
    QCOMPARE(ListGetNextSelected(p.List()), p.RowOf(2));

    // Other keys change no mark; the boxes are rewritten from the model, losing typed text.
    p.TypeInto(IDC_OPTIONAL_MASK, QStringLiteral("FFFF"));
    p.List()->setFocus();
    p.Key(Qt::Key_Down);
    QCOMPARE(p.Marks(2), QStringLiteral("|"));
    QCOMPARE(p.Marks(3), QStringLiteral("|"));
    QCOMPARE(p.Text(IDC_OPTIONAL_MASK), kZeros);
    QCOMPARE(ListGetNextSelected(p.List()), p.RowOf(3));
    p.Key(Qt::Key_Left);  // the key reaches the page before the list acts on it
    QCOMPARE(p.Marks(3), QStringLiteral("Mandatory|"));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), Mask("2"));
}

void MsgDefPgTest::listKeysWithoutCurrentMessageChangeNothing() {
    Page p;
    p.Add(QStringLiteral("0200"));
    p.SelectField(2);
    p.Key(Qt::Key_Left);
    QCOMPARE(p.Marks(2), QStringLiteral("|"));
    QVERIFY(!TestBit(TheProtocol().messages.At(0)->mandatory, 2));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), std::string());
}

// A text that does not spell a whole mask in its first 32 characters is refused: the balloon at
// the first such box, both masks as they were (0200's five mandatory fields stay), the boxes as
// typed. A typo must never clear the marks the user set.
void MsgDefPgTest::applyParsesMaskText_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");   // empty: refused
    QTest::addColumn<bool>("inOptional");  // typed into the optional box only
    const QString z = QString::fromStdString(kZeros);
    QTest::newRow("31 digits are refused") << z.left(30) + "7" << QString() << false;
    QTest::newRow("11 digits are refused") << QStringLiteral("70200000008") << QString() << false;
    QTest::newRow("ZZ12 is refused") << QStringLiteral("ZZ12") << QString() << false;
    QTest::newRow("ZZ12 in the optional box is refused there")
        << QStringLiteral("ZZ12") << QString() << true;
    QTest::newRow("32 digits") << "70200000008000000000000000000000"
                               << "70200000008000000000000000000000" << false;
    QTest::newRow("33 digits use the first 32") << z.left(31) + "1F" << z.left(31) + "1" << false;
    QTest::newRow("lower case comes back upper case")
        << "7020000000800000000000000000000a"
        << "7020000000800000000000000000000A" << false;
    QTest::newRow("blank after the fourth digit is refused")
        << "7020 F0000080000000000000000000000" << QString() << false;
    QTest::newRow("letter in a pair is refused")
        << "702000G0008000000000000000000000" << QString() << false;
    QTest::newRow("surrounding blanks are dropped") << "  70200000008000000000000000000000  "
                                                    << "70200000008000000000000000000000" << false;
    QTest::newRow("empty box is refused") << "" << QString() << false;
}

void MsgDefPgTest::applyParsesMaskText() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, inOptional);
    const QString before = QStringLiteral("72380000008000000000000000000000");
    Page p;
    p.Add(QStringLiteral("0200"));
    p.Pick(QStringLiteral("0200"));
    p.TypeInto(IDC_MANDATORY_MASK, before);
    p.TypeInto(IDC_OPTIONAL_MASK, before);
    p.Click(IDC_APPLY);
    QVERIFY(ErrorBalloonWindow() == nullptr);
    if (!inOptional) p.TypeInto(IDC_MANDATORY_MASK, typed);
    p.TypeInto(IDC_OPTIONAL_MASK, typed);
    p.Click(IDC_APPLY);
    const MsgDef& m = *TheProtocol().messages.At(0);
    char model[33];
    EncodeHex(16, sizeof model, model, m.mandatory.data());
    if (stored.isEmpty()) {
        QVERIFY(ErrorBalloonWindow() != nullptr);
        QVERIFY(GetFocus() == p.Item(inOptional ? IDC_OPTIONAL_MASK : IDC_MANDATORY_MASK));
        QCOMPARE(QString::fromLatin1(model), before);
        QCOMPARE(m.optional, m.mandatory);
        QCOMPARE(QString::fromStdString(p.Text(IDC_OPTIONAL_MASK)), typed);
        QCOMPARE(p.CurrentSlot(), 0);
        return;
    }
    QVERIFY(ErrorBalloonWindow() == nullptr);
    QCOMPARE(QString::fromStdString(p.Text(IDC_MANDATORY_MASK)), stored);
    QCOMPARE(QString::fromStdString(p.Text(IDC_OPTIONAL_MASK)), stored);
    QCOMPARE(QString::fromLatin1(model), stored);
    QCOMPARE(m.optional, m.mandatory);
    QCOMPARE(p.CurrentSlot(), 0);
    QVERIFY(p.EditorEnabled());
}

void MsgDefPgTest::fieldInBothMasksShowsMandatoryAndRightArrowMakesItOptional() {
    Page p;
    p.Add(QStringLiteral("0200"));
    p.Pick(QStringLiteral("0200"));
    p.TypeInto(IDC_MANDATORY_MASK, QString::fromStdString(Mask("4")));
    p.TypeInto(IDC_OPTIONAL_MASK, QString::fromStdString(Mask("6")));
    p.Click(IDC_APPLY);
    QCOMPARE(p.Marks(2), QStringLiteral("Mandatory|"));
    QCOMPARE(p.Marks(3), QStringLiteral("|Optional"));
    p.SelectField(2);
    p.Key(Qt::Key_Right);
    QCOMPARE(p.Marks(2), QStringLiteral("|Optional"));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), kZeros);
    QCOMPARE(p.Text(IDC_OPTIONAL_MASK), Mask("6"));
}

void MsgDefPgTest::keysKeepBitsOfField1AndUndefinedFields() {
    Page p;
    p.Add(QStringLiteral("0200"));
    p.Pick(QStringLiteral("0200"));
    // Fields 1, 2, 5 (no data element) and 128.
    p.TypeInto(IDC_MANDATORY_MASK, QStringLiteral("C8000000000000000000000000000001"));
    p.Click(IDC_APPLY);
    QCOMPARE(p.RowOf(5), -1);
    p.SelectField(2);
    p.Key(Qt::Key_Space);
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), std::string("88000000000000000000000000000001"));
    const FieldMask& mandatory = TheProtocol().messages.At(0)->mandatory;
    QVERIFY(TestBit(mandatory, 1) && TestBit(mandatory, 5) && TestBit(mandatory, 128));
}

void MsgDefPgTest::deletedDataElementLosesItsRowButKeepsItsBits() {
    Page p;
    p.Add(QStringLiteral("0200"));
    p.Pick(QStringLiteral("0200"));
    p.SelectField(41);
    p.Key(Qt::Key_Left);
    TheProtocol().fields[41].Clear();
    p.pg.FillFieldList();  // the main window, when the user leaves the Data Elements tab
    QCOMPARE(p.RowOf(41), -1);
    QCOMPARE(p.List()->rowCount(), 5);
    QVERIFY(TestBit(TheProtocol().messages.At(0)->mandatory, 41));
    QCOMPARE(p.Text(IDC_MANDATORY_MASK), std::string("00000000008000000000000000000000"));
}

void MsgDefPgTest::demoMessagesEnteredOnPageSaveAsInDemoFile() {
    Page p;
    p.Refresh();
    p.Add(QStringLiteral("0200"), QStringLiteral("Financial request"));
    p.Add(QStringLiteral("0210"));
    p.Pick(QStringLiteral("0200"));
    for (int n : {2, 3, 4, 11, 41}) {
        p.SelectField(n);
        p.Key(Qt::Key_Left);
    }
    p.SelectField(55);
    p.Key(Qt::Key_Right);
    p.Pick(QStringLiteral("0210"));
    p.TypeInto(IDC_MANDATORY_MASK, QStringLiteral("70200000008000000000000000000000"));
    p.Click(IDC_APPLY);

    std::FILE* out = std::tmpfile();
    QVERIFY(out != nullptr);
    QVERIFY(WriteProtocolLines(out, TheProtocol()));
    std::rewind(out);
    QStringList written;
    char line[512];
    while (std::fgets(line, sizeof line, out) != nullptr) {
        if (std::strncmp(line, "MSG=", 4) == 0) written << QString::fromUtf8(line).trimmed();
    }
    std::fclose(out);

    QStringList demo;
    std::ifstream file(ISO_EXAMPLES_DIR "/demo.pro");
    for (std::string text; std::getline(file, text);) {
        if (text.rfind("MSG=", 0) == 0) demo << QString::fromStdString(text).trimmed();
    }
    QCOMPARE(demo.size(), 2);
    QCOMPARE(written, demo);
}

QTEST_MAIN(MsgDefPgTest)
#include "msg_def_pg_test.moc"
