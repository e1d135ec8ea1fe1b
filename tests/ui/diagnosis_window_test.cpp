// The Diagnosis window opened from the Parser page: where it opens from, the best reading and
// the steps that apply one, picking a part of the dump, and masked card data.
#include <algorithm>

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTreeWidget>
#include <QtTest>

#include "model/pro_file.h"
#include "model/protocol.h"
#include "ui/controls.h"
#include "ui/diagnosis_window.h"
#include "ui/dlg_window.h"
#include "ui/main_dlg.h"
#include "ui/window_text.h"

namespace {

const std::string kExamples = ISO_EXAMPLES_DIR;

// Demo message 1, which passes, and the same behind a TPDU and with its bitmap as hex text.
constexpr char kPassing[] =
    "3032303070200000008000001041111111111111110000000000000010000001235445524D30303031";
constexpr char kBehindTpdu[] =
    "60000300003032303070200000008000001041111111111111110000000000000010000001235445524D3030"
    "3031";
constexpr char kHexBitmap[] =
    "30323030373032303030303030303830303030301041111111111111110000000000000010000001235445524D"
    "30303031";
constexpr char kParsingOk[] = "... Parsing OK ...";

struct Window {
    MainDlg dlg;
    HWND wnd = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
    ParserPg& pg = dlg.Parser();
    HWND page = dlg.Page(2);
    QPlainTextEdit* edit = static_cast<QPlainTextEdit*>(GetDlgItem(page, IDC_MESSAGE));
    HWND status = GetDlgItem(page, IDC_STATUS);

    Window() {
        QVERIFY(ReadProtocolFile((kExamples + "/demo.pro").c_str(), TheProtocol()));
        dlg.Document().Check();
        ShowWindow(wnd, SW_SHOW);
    }
    ~Window() {
        menu.reset();  // a child of the page
        delete pg.DiagnosisView();
        DestroyWindow(wnd);
    }
    void Parse(const QString& text, bool hex) {
        edit->setPlainText(text);
        SetCheck(GetDlgItem(page, IDC_HEXA), hex ? BST_CHECKED : BST_UNCHECKED);
        QTest::mouseClick(GetDlgItem(page, IDC_PARSE), Qt::LeftButton);
    }
    QAction* Diagnose(HWND control) {
        menu = pg.ContextMenu(control, QPoint(2, 2));
        for (QAction* action : menu->actions())
            if (action->text().remove(QLatin1Char('&')) == QStringLiteral("Diagnose\u2026"))
                return action;
        return nullptr;
    }
    DiagnosisWindow* Open(HWND control) {
        QAction* action = Diagnose(control);
        if (action == nullptr || !action->isEnabled()) return nullptr;
        action->trigger();
        return pg.DiagnosisView();
    }
    QString Status() const { return WindowQText(status); }
    std::unique_ptr<QMenu> menu;
};

class DiagnosisWindowTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void EachMenuOffersDiagnoseOnceAMessageIsParsed() {
        Window w;
        const HWND controls[] = {GetDlgItem(w.page, IDC_LIST), w.status, w.edit};
        for (HWND control : controls) {
            QAction* action = w.Diagnose(control);
            QVERIFY(action != nullptr);
            QVERIFY(!action->isEnabled());
        }
        w.Parse(kBehindTpdu, true);
        for (HWND control : controls)
            QVERIFY(w.Diagnose(control)->isEnabled());
        // The message box keeps its own editing menu.
        w.Diagnose(w.edit);
        QVERIFY(w.menu->actions().size() > 2);
    }

    void HeaderReadingRemovesItsDigitsAndParsesAgain() {
        Window w;
        w.Parse(QStringLiteral("  ") + kBehindTpdu, true);
        QVERIFY(w.Status() != kParsingOk);
        DiagnosisWindow* window = w.Open(w.edit);
        QVERIFY(window != nullptr && window->isVisible());
        const Diagnosis& result = window->Result();
        QVERIFY(!result.readings.empty());
        QCOMPARE(result.readings[0].header, 5);
        QVERIFY(!result.readings[0].change);
        QPushButton* remove = window->ReadingButtons().at(0);
        QCOMPARE(remove->text(), QStringLiteral("Remove these units from the message box"));
        remove->click();
        QCOMPARE(w.edit->toPlainText(), QStringLiteral("  ") + kPassing);
        QCOMPARE(w.Status(), QString::fromLatin1(kParsingOk));
        // The new parse refreshed the window: the message now passes as it is.
        QVERIFY(!window->Result().searched);
        QVERIFY(window->ReadingButtons().empty());
    }

    void EncodingReadingChangesTheDefinitionAndItsPage() {
        Window w;
        w.Parse(kHexBitmap, true);
        // The user ticked Hexa off since: the reading still applies to the message as parsed.
        SetCheck(GetDlgItem(w.page, IDC_HEXA), BST_UNCHECKED);
        DiagnosisWindow* window = w.Open(w.status);
        QVERIFY(window != nullptr);
        const Reading& best = window->Result().readings.at(0);
        QVERIFY(best.change && best.change->role == EncodingRole::kBitmap);
        QCOMPARE(best.change->value, Encoding::HEX);
        QPushButton* use = window->ReadingButtons().at(0);
        QCOMPARE(use->text(), QStringLiteral("Use this reading"));
        QVERIFY(!w.dlg.Document().Modified());
        use->click();
        QCOMPARE(TheProtocol().bmpEnc, Encoding::HEX);
        HWND combo = GetDlgItem(w.dlg.Page(0), IDC_BMP_ENC);
        QCOMPARE(QString::fromStdString(ComboGetItemText(combo, ComboGetCurSel(combo))),
                 QStringLiteral("HEX"));
        QVERIFY(w.dlg.Document().Modified());
        QCOMPARE(w.Status(), QString::fromLatin1(kParsingOk));
        QCOMPARE(GetCheck(GetDlgItem(w.page, IDC_HEXA)), BST_CHECKED);
    }

    // A click in the dump, on a unit's digits, picks its part and selects the part's digits in
    // the message box, after the blanks that lead it.
    void ClickingAPartSelectsItsUnits() {
        Window w;
        w.Parse(QStringLiteral("\t ") + kPassing, true);
        DiagnosisWindow* window = w.Open(GetDlgItem(w.page, IDC_LIST));
        QVERIFY(window != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const std::vector<MapEntry>& map = window->Result().map;
        const auto field =
            std::find_if(map.begin(), map.end(), [](const MapEntry& e) { return e.field == 11; });
        QVERIFY(field != map.end());
        const int unit = field->offset + 1;
        QPlainTextEdit* dump = window->Dump();
        QTextCursor at(dump->document()->findBlockByNumber(unit / 16));
        at.setPosition(at.position() + 6 + 3 * (unit % 16));
        const QPoint point = dump->cursorRect(at).center() + QPoint(3, 0);
        QTest::mouseClick(dump->viewport(), Qt::LeftButton, {}, point);
        QCOMPARE(window->Parts()->currentItem()->text(2).left(8), QStringLiteral("Field 11"));
        QCOMPARE(w.edit->textCursor().selectionStart(), 2 + 2 * field->offset);
        QCOMPARE(w.edit->textCursor().selectionEnd(), 2 + 2 * (field->offset + field->units));
    }

    void CardDataIsMaskedUntilAskedFor() {
        Window w;
        w.Parse(kPassing, true);
        DiagnosisWindow* window = w.Open(w.status);
        QVERIFY(window != nullptr);
        const QString pan = QStringLiteral("4111111111111111");
        auto shown = [&] {
            QString all = window->Dump()->toPlainText().remove(' ');
            for (int i = 0; i < window->Parts()->topLevelItemCount(); ++i)
                all += window->Parts()->topLevelItem(i)->text(3).remove(' ');
            return all;
        };
        QVERIFY(!shown().contains(pan));
        QVERIFY(shown().contains(QStringLiteral("411111******1111")));
        window->ShowCardData()->setChecked(true);
        QVERIFY(shown().contains(pan));
    }

    void HeaderThatAReadingNamesIsMaskedUntilAskedFor() {
        Window w;
        const QString header = QStringLiteral("34313131313131313131313131313131");
        w.Parse(header + QString::fromLatin1(kPassing), true);
        DiagnosisWindow* window = w.Open(w.status);
        QVERIFY(window != nullptr);
        auto readings = [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QString all;
            for (const QLabel* label : window->findChildren<QLabel*>())
                all += label->text() + '\n';
            return all;
        };
        QVERIFY(readings().contains(QStringLiteral("a header of 16 units (343131313131")));
        QVERIFY(!readings().contains(header));
        window->ShowCardData()->setChecked(true);
        QVERIFY(readings().contains(header));
    }

    // Demo message 1 in EBCDIC: the findings and readings quote its units, which show as
    // \xHH whatever their value, never as the letters a code page gives them.
    void MessageUnitsInFindingsAndReadingsShowEscaped() {
        Window w;
        w.Parse(QStringLiteral("F0F2F1F070200000008000000F0378282246310005000000000000001000000"
                               "123E3C5D9D4F0F0F0F1"),
                true);
        DiagnosisWindow* window = w.Open(w.status);
        QVERIFY(window != nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QString all = window->Findings()->toPlainText() + '\n';
        for (const QLabel* label : window->findChildren<QLabel*>())
            all += label->text() + '\n';
        QVERIFY2(all.contains(QStringLiteral("field 41: '\\xE3' at offset 33 does not fit ANS")),
                 qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("Unknown message \\xF0\\xF2\\xF1\\xF0")),
                 qPrintable(all));
        QVERIFY(!all.contains(QChar(0xE3)));
        QVERIFY(!all.contains(QChar(0xF0)));
    }

    void EscapeClosesTheWindow() {
        Window w;
        w.Parse(kBehindTpdu, true);
        DiagnosisWindow* window = w.Open(w.status);
        QVERIFY(window != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }
};

}  // namespace

QTEST_MAIN(DiagnosisWindowTest)
#include "diagnosis_window_test.moc"
