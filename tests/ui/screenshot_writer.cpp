// Writes PNGs of the main window for people to look at: each tab empty and with the demo
// definition loaded, a parse of a demo message, the Field details window of chip data, the
// Diagnosis window of two failing messages, the Message editor with a field 55 tree, an input
// error balloon, the Field definition window of a tagged field and an import report. Run by
// scripts/screenshots.sh; it checks nothing.
#include <cstdio>
#include <fstream>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "model/pro_file.h"
#include "support/error_balloon.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/definition_commands.h"
#include "ui/diagnosis_window.h"
#include "ui/dlg_window.h"
#include "ui/field_definition_window.h"
#include "ui/field_details_window.h"
#include "ui/import_report_window.h"
#include "ui/main_dlg.h"
#include "ui/main_frame.h"
#include "ui/message_editor_window.h"
#include "ui/message_tree_model.h"
#include "ui/subfield_tree_model.h"
#include "ui/window_text.h"

namespace {

const char* const kTabNames[] = {"data-elements", "messages", "parser"};

// The window with the balloon, a window of its own, painted where it stands.
QPixmap Shot(QWidget* window) {
    QPixmap shot = window->grab();
    if (QWidget* tip = ErrorBalloonWindow()) {
        QPainter painter(&shot);
        painter.drawPixmap(tip->mapToGlobal(QPoint()) - window->mapToGlobal(QPoint()), tip->grab());
    }
    return shot;
}

bool Save(QWidget* window, const QString& dir, const QString& name) {
    QTest::qWait(50);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    const bool saved = Shot(window).save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// Chip data with a constructed object: 9F02, 95, 5A, then 70 holding 9A and 9C.
constexpr char kChipMessage[] =
    "3032303070200000008002001041111111111111110000000000000010000001235445524D30303031249F020600"
    "0000001000950500000080005A08411111111111111170089A032512079C0100";

FieldDetailsWindow* DetailsWindow() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* details = dynamic_cast<FieldDetailsWindow*>(top)) return details;
    }
    return nullptr;
}

// Field 55 of the chip message opened by a double click, its tag 9F02 picked.
bool SaveDetails(HWND parser, QWidget* main, const QString& dir) {
    SetWindowText(GetDlgItem(parser, IDC_MESSAGE), kChipMessage);
    QTest::mouseClick(GetDlgItem(parser, IDC_PARSE), Qt::LeftButton);
    auto* list = static_cast<QTableWidget*>(GetDlgItem(parser, IDC_LIST));
    const int row = list->rowCount() - 1;
    const QPoint cell = list->visualItemRect(list->item(row, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
    FieldDetailsWindow* details = DetailsWindow();
    if (details == nullptr || !QTest::qWaitForWindowExposed(details)) return false;
    const auto found = details->Tree()->findItems(QStringLiteral("9F02"), Qt::MatchExactly, 0);
    if (!found.isEmpty()) details->Tree()->setCurrentItem(found.first());
    bool ok = Save(details, dir, QStringLiteral("field-details"));
    ok = Save(main, dir, QStringLiteral("parser-field-details")) && ok;
    details->close();
    return ok;
}

// The first two failing messages of the diagnose examples (behind a TPDU, a bitmap as hex
// text), each parsed in Hexa mode and diagnosed; in the first, the field the decode stopped at
// picked.
bool SaveDiagnoses(MainDlg& dlg, QWidget* main, const QString& dir) {
    std::ifstream messages(ISO_EXAMPLES_DIR "/diagnose-messages.hex");
    HWND parser = dlg.Page(2);
    bool ok = true;
    std::string line;
    for (int n = 1; n <= 2 && std::getline(messages, line); ++n) {
        SetWindowText(GetDlgItem(parser, IDC_MESSAGE), line.c_str());
        SetCheck(GetDlgItem(parser, IDC_HEXA), BST_CHECKED);
        QTest::mouseClick(GetDlgItem(parser, IDC_PARSE), Qt::LeftButton);
        dlg.Parser().OpenDiagnosis();
        DiagnosisWindow* window = dlg.Parser().DiagnosisView();
        if (window == nullptr || !QTest::qWaitForWindowExposed(window)) return false;
        if (n == 1) {
            for (const MapEntry& entry : window->Result().map)
                if (entry.stopped) window->PickUnit(entry.offset);
        }
        ok = Save(window, dir, QStringLiteral("diagnosis-%1").arg(n)) && ok;
        if (n == 1) ok = Save(main, dir, QStringLiteral("parser-diagnosis")) && ok;
    }
    if (DiagnosisWindow* window = dlg.Parser().DiagnosisView()) window->close();
    return ok;
}

// The Field definition window of the example's tagged field 48, its nested element 48.42.01
// picked; then a jPOS packager with a class no reader knows, imported through File > Import.
bool SaveDefinitionWindows(const QString& dir) {
    // No box may wait for a click: the unsaved import is let go when the frame closes.
    SetMessageBoxHandler([](HWND, const std::string& text, const std::string&, unsigned) {
        std::printf("message box: %s\n", text.c_str());
        return IDNO;
    });
    MainDlg dlg;
    MainFrame frame(dlg);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) return false;
    // Read without the document, which would add the example to the user's recent files.
    std::string error;
    if (!LoadProtocolFile(ISO_EXAMPLES_DIR "/subfields.pro", TheProtocol(), error)) return false;
    FieldDefinitionWindow window(TheProtocol(), 48, &frame);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return false;
    window.Tree()->setCurrentIndex(window.Model()->IndexOfPath("48.42.01"));
    bool ok = Save(&window, dir, QStringLiteral("field-definition"));
    window.close();

    const QString packager = dir + QStringLiteral("/acme-packager.xml");
    std::ofstream(packager.toStdString())
        << "<?xml version=\"1.0\"?>\n<isopackager>\n"
           "<isofield id=\"0\" length=\"4\" name=\"MTI\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
           "<isofield id=\"1\" length=\"16\" name=\"BITMAP\" class=\"org.jpos.iso.IFA_BITMAP\"/>\n"
           "<isofield id=\"2\" length=\"19\" name=\"PAN\" class=\"org.jpos.iso.IFA_LLNUM\"/>\n"
           "<isofield id=\"4\" length=\"12\" name=\"AMOUNT\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
           "<isofield id=\"52\" length=\"8\" name=\"PIN\" class=\"org.example.MyPinPackager\"/>\n"
           "<isofield id=\"55\" length=\"255\" name=\"ICC\" class=\"org.example.EmvPackager\"/>\n"
           "</isopackager>\n";
    auto* commands = frame.findChild<DefinitionCommands*>();
    ImportReportWindow* report = commands != nullptr ? commands->Import(packager, false) : nullptr;
    if (report == nullptr || !QTest::qWaitForWindowExposed(report)) return false;
    ok = Save(report, dir, QStringLiteral("import-report")) && ok;
    report->close();
    QFile::remove(packager);
    frame.close();
    SetMessageBoxHandler({});
    return ok;
}

// The Message editor on the parsed chip message, tag 9F02 picked; then a new 0200 whose amount
// was given one digit too many.
bool SaveMessageEditor(MainDlg& dlg, QWidget* main, const QString& dir) {
    HWND parser = dlg.Page(2);
    SetWindowText(GetDlgItem(parser, IDC_MESSAGE), kChipMessage);
    SetCheck(GetDlgItem(parser, IDC_HEXA), BST_CHECKED);
    QTest::mouseClick(GetDlgItem(parser, IDC_PARSE), Qt::LeftButton);
    MessageEditorWindow editor(main, TheProtocol(), {});
    editor.EditMessage(dlg.Parser().Parsed());
    editor.Present();
    if (!QTest::qWaitForWindowExposed(&editor)) return false;
    MessageTreeModel& model = editor.Model();
    for (const auto& item : model.Fields().back()->children) {
        if (item->id == QStringLiteral("9F02"))
            editor.Tree()->setCurrentIndex(model.IndexOf(item.get(), MessageTreeModel::kValue));
    }
    bool ok = Save(&editor, dir, QStringLiteral("message-editor"));
    editor.NewMessage("0200");
    const QModelIndex amount = model.IndexOf(model.Field(4), MessageTreeModel::kValue);
    editor.Tree()->setCurrentIndex(amount);
    model.SetValue(model.IndexOf(model.Field(3), MessageTreeModel::kValue),
                   QStringLiteral("000000"));
    if (!model.SetValue(amount, QStringLiteral("0000000010000")))
        editor.Status()->setText(model.LastRefusal());
    ok = Save(&editor, dir, QStringLiteral("message-editor-new")) && ok;
    editor.close();
    return ok;
}

// Field 48 of the definition with subfields: its elements as read, then where a reading stops.
bool SaveSubfieldDetails(MainDlg& dlg, const QString& dir) {
    if (!ReadProtocolFile(ISO_EXAMPLES_DIR "/subfields.pro", TheProtocol())) return false;
    std::ifstream messages(ISO_EXAMPLES_DIR "/subfields-messages.hex");
    HWND parser = dlg.Page(2);
    bool ok = true;
    std::string line;
    for (int n = 1; n <= 3 && std::getline(messages, line); ++n) {
        if (n == 2) continue;
        SetWindowText(GetDlgItem(parser, IDC_MESSAGE), line.c_str());
        SetCheck(GetDlgItem(parser, IDC_HEXA), BST_CHECKED);
        QTest::mouseClick(GetDlgItem(parser, IDC_PARSE), Qt::LeftButton);
        dlg.Parser().OpenDetails(48);
        FieldDetailsWindow* details = dlg.Parser().Details();
        if (details == nullptr || !QTest::qWaitForWindowExposed(details)) return false;
        const QString name = n == 1 ? QStringLiteral("field-details-subfields")
                                    : QStringLiteral("field-details-subfields-stopped");
        ok = Save(details, dir, name) && ok;
    }
    if (FieldDetailsWindow* details = dlg.Parser().Details()) details->close();
    return ok;
}

void ShowTab(MainDlg& dlg, int index) {
    static_cast<QTabWidget*>(dlg.Tab())->setCurrentIndex(index);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);
    bool ok = true;

    MainDlg dlg;
    HWND wnd = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
    wnd->show();
    wnd->activateWindow();
    if (!QTest::qWaitForWindowExposed(wnd)) return 1;
    for (int tab = 0; tab < 3; ++tab) {
        ShowTab(dlg, tab);
        ok = Save(wnd, dir, QStringLiteral("%1-empty").arg(kTabNames[tab])) && ok;
    }

    SetFileChooser([](HWND, FileChoice, std::string& path) {
        path = ISO_EXAMPLES_DIR "/demo.pro";
        return true;
    });
    ShowTab(dlg, 0);
    QTest::mouseClick(GetDlgItem(wnd, IDC_LOAD), Qt::LeftButton);
    for (int tab = 0; tab < 2; ++tab) {
        ShowTab(dlg, tab);
        ok = Save(wnd, dir, QStringLiteral("%1-demo").arg(kTabNames[tab])) && ok;
    }

    ShowTab(dlg, 2);
    std::ifstream messages(ISO_EXAMPLES_DIR "/demo-messages.hex");
    std::string line;
    std::getline(messages, line);
    HWND parser = dlg.Page(2);
    SetWindowText(GetDlgItem(parser, IDC_MESSAGE), line.c_str());
    SetCheck(GetDlgItem(parser, IDC_HEXA), BST_CHECKED);
    QTest::mouseClick(GetDlgItem(parser, IDC_PARSE), Qt::LeftButton);
    ListSetSelected(GetDlgItem(parser, IDC_LIST), 1);
    QTest::keyClick(GetDlgItem(parser, IDC_LIST), Qt::Key_Space);
    ok = Save(wnd, dir, QStringLiteral("parser-demo")) && ok;
    ok = SaveDetails(parser, wnd, dir) && ok;
    ok = SaveDiagnoses(dlg, wnd, dir) && ok;
    ok = SaveMessageEditor(dlg, wnd, dir) && ok;

    // Apply with no description is refused on the description box.
    ShowTab(dlg, 0);
    SetWindowText(GetDlgItem(dlg.Page(0), IDC_DESCRIPTION), "");
    QTest::mouseClick(GetDlgItem(dlg.Page(0), IDC_APPLY), Qt::LeftButton);
    ok = Save(wnd, dir, QStringLiteral("data-elements-balloon")) && ok;

    HideErrorBalloon();
    ok = SaveSubfieldDetails(dlg, dir) && ok;
    SetFileChooser({});
    delete wnd;
    ok = SaveDefinitionWindows(dir) && ok;
    return ok ? 0 : 1;
}
