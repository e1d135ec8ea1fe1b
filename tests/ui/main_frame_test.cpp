// The program's window at one scale factor (its ctest entry sets it) on a 1280x900 screen: the
// menu bar and its keys, the recent files across a restart, the layout every parse needs, the
// scroll thumbs, and the loads and pastes that must not go by without a word.
#include <fstream>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStyleOptionSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "model/pro_file.h"
#include "model/protocol.h"
#include "support/error_balloon.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/definition_commands.h"
#include "ui/dlg_window.h"
#include "ui/help_window.h"
#include "ui/main_dlg.h"
#include "ui/main_frame.h"
#include "ui/message_editor_menu.h"
#include "ui/message_editor_window.h"
#include "ui/page_area.h"
#include "ui/recent_files.h"
#include "ui/scroll_thumbs.h"
#include "ui/tool_window.h"
#include "ui/window_text.h"

namespace {

struct Framed {
    MainDlg dlg;
    MainFrame frame{dlg};
    QStringList boxes;  // the text of each message box
    std::string chosen;

    Framed() {
        SetMessageBoxHandler([this](HWND, const std::string& text, const std::string&, unsigned) {
            boxes << QString::fromStdString(text);
            return IDNO;  // to the unsaved-changes question: discard
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
        HideErrorBalloon();
        SetFileChooser({});
        SetMessageBoxHandler({});
    }
    Framed(const Framed&) = delete;
    Framed& operator=(const Framed&) = delete;

    HWND Page(int index) const { return dlg.Page(index); }
    QWidget* Item(int page, int id) const { return GetDlgItem(dlg.Page(page), id); }
    PageArea* Area() const { return DialogWindow::From(frame.Dialog())->Pages(); }
    void ShowTab(int index) {
        static_cast<QTabWidget*>(dlg.Tab())->setCurrentIndex(index);
        QTRY_VERIFY(dlg.Page(index)->isVisible());
    }
    QAction* MenuAction(const QString& menu, const QString& text) const {
        for (QAction* top : frame.menuBar()->actions()) {
            if (top->text() != menu) continue;
            for (QAction* action : top->menu()->actions())
                if (action->text() == text) return action;
        }
        return nullptr;
    }
    void Open(const std::string& path) {
        chosen = path;
        dlg.Document().Actions().open->trigger();
    }
    // Whether the control is wholly inside the page area's view.
    bool InView(const QWidget* control) const {
        const QWidget* view = Area()->viewport();
        return view->rect().contains(QRect(control->mapTo(view, QPoint()), control->size()));
    }
};

std::string Write(const QTemporaryDir& dir, const char* name, const std::string& text) {
    const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const std::string kExamples = ISO_EXAMPLES_DIR;

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QCoreApplication::setOrganizationName(QStringLiteral("iso8583-workbench-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("main_frame_test"));
        UseVisibleScrollThumbs();
    }
    void init() {
        QSettings().clear();
        TheProtocol().Reset();
        TheProtocol().messages.ClearAll();
    }
    void menusHoldTheCommandsWithTheirKeys_data();
    void menusHoldTheCommandsWithTheirKeys();
    void contextMenusShareTheMenuActions();
    void returnOpensDetailsOnlyFromTheList();
    void recentFilesOutliveARestart();
    void missingRecentFileIsRemovedWithAMessage();
    void importedFilesAreRecentAndImportAgain_data();
    void importedFilesAreRecentAndImportAgain();
    void loadWithoutDefinitionLinesSaysSoAndEmptiesTheEditor_data();
    void loadWithoutDefinitionLinesSaysSoAndEmptiesTheEditor();
    void pasteDumpTakesTheFirstMessageAsHex_data();
    void pasteDumpTakesTheFirstMessageAsHex();
    void editMessageTakesTheParseAndUseInParserBringsItBack();
    void windowOpensOnTheScreenAndShrinksToItsLeast();
    void parserControlsAreInViewWithoutScrolling();
    void pagesOpenAtTheirTopLeft();
    void scrollThumbIsAtTheTopWhenTheValueIs();
    void toolWindowGoesBesideOrOffTheMessageBox_data();
    void toolWindowGoesBesideOrOffTheMessageBox();
    void helpFindsTheInstalledManualAndExamples();

  private:
    QTemporaryDir settings;
};

void MainFrameTest::menusHoldTheCommandsWithTheirKeys_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("Open") << "&File"
                          << "&Open\u2026" << QKeySequence("Ctrl+O");
    QTest::newRow("Open Recent") << "&File"
                                 << "Open &Recent" << QKeySequence();
    QTest::newRow("Save") << "&File"
                          << "&Save" << QKeySequence("Ctrl+S");
    QTest::newRow("Save As") << "&File"
                             << "Save &As\u2026" << QKeySequence("Ctrl+Shift+S");
    QTest::newRow("Quit") << "&File"
                          << "&Quit" << QKeySequence("Ctrl+Q");
    QTest::newRow("Parse") << "&Message"
                           << "&Parse" << QKeySequence("Ctrl+Return");
    QTest::newRow("Field details") << "&Message"
                                   << "&Field details\u2026" << QKeySequence("Return");
    QTest::newRow("Diagnose") << "&Message"
                              << "&Diagnose\u2026" << QKeySequence("Ctrl+D");
    QTest::newRow("Paste dump") << "&Message"
                                << "Paste dump as &hex" << QKeySequence();
    QTest::newRow("New message") << "&Message"
                                 << "&New\u2026" << QKeySequence("Ctrl+Shift+N");
    QTest::newRow("Edit message") << "&Message"
                                  << "&Edit\u2026" << QKeySequence("Ctrl+E");
    QTest::newRow("Manual") << "&Help"
                            << "&Manual" << QKeySequence("F1");
    QTest::newRow("About") << "&Help"
                           << "&About ISO 8583 Workbench" << QKeySequence();
}

void MainFrameTest::menusHoldTheCommandsWithTheirKeys() {
    QFETCH(QString, menu);
    QFETCH(QString, text);
    QFETCH(QKeySequence, keys);
    Framed w;
    QAction* action = w.MenuAction(menu, text);
    QVERIFY(action != nullptr);
    QCOMPARE(action->shortcut(), keys);
}

// One object per command: the page's context menus and the menu bar show the same actions.
void MainFrameTest::contextMenusShareTheMenuActions() {
    Framed w;
    const ParserActions& actions = w.dlg.Parser().Actions();
    QCOMPARE(w.MenuAction("&Message", "&Field details\u2026"), actions.details);
    QCOMPARE(w.MenuAction("&Message", "&Diagnose\u2026"), actions.diagnose);
    QCOMPARE(w.MenuAction("&Message", "Paste dump as &hex"), actions.pasteDump);
    QCOMPARE(w.MenuAction("&File", "&Open\u2026"), w.dlg.Document().Actions().open);
    const auto list = w.dlg.Parser().ContextMenu(w.Item(2, IDC_LIST), QPoint(2, 2));
    QVERIFY(list->actions().contains(actions.details));
    QVERIFY(list->actions().contains(actions.diagnose));
    const auto box = w.dlg.Parser().ContextMenu(w.Item(2, IDC_MESSAGE), QPoint(2, 2));
    QVERIFY(box->actions().contains(actions.pasteDump));
    QVERIFY(box->actions().contains(actions.diagnose));
}

void MainFrameTest::returnOpensDetailsOnlyFromTheList() {
    QVERIFY(ReadProtocolFile((kExamples + "/demo.pro").c_str(), TheProtocol()));
    Framed w;
    w.ShowTab(2);
    std::ifstream messages(kExamples + "/demo-messages.hex");
    std::string line;
    std::getline(messages, line);
    auto* box = static_cast<QPlainTextEdit*>(w.Item(2, IDC_MESSAGE));
    box->setPlainText(QString::fromStdString(line));
    SetCheck(w.Item(2, IDC_HEXA), BST_CHECKED);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);  // Parse
    HWND list = w.Item(2, IDC_LIST);
    QVERIFY(ListGetItemCount(list) > 1);
    QCOMPARE(box->toPlainText(), QString::fromStdString(line));  // no line break typed
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(w.dlg.Parser().Details(), nullptr);  // the box keeps its Return
    ListSetSelected(list, 1);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(w.dlg.Parser().Details() != nullptr);
    QCOMPARE(w.dlg.Parser().Details()->Number(), w.dlg.Parser().Actions().details->isEnabled()
                                                     ? std::stoi(ListGetItemText(list, 1, 1))
                                                     : -1);
}

void MainFrameTest::recentFilesOutliveARestart() {
    QTemporaryDir dir;
    const std::string first = Write(dir, "first.pro", "NAME= First\n");
    const std::string second = Write(dir, "second.pro", "NAME= Second\n");
    {
        Framed w;
        w.Open(first);
        w.Open(second);
        w.Open(first);
    }
    QSettings().sync();
    // A new run reads what the last one wrote to disk.
    const QString file = QSettings().fileName();
    QVERIFY(file.startsWith(settings.path()));
    const QStringList stored =
        QSettings(file, QSettings::NativeFormat).value("files/recent").toStringList();
    QCOMPARE(stored, (QStringList{QString::fromStdString(first), QString::fromStdString(second)}));
    Framed w;
    QStringList shown;
    Q_EMIT w.frame.RecentMenu()->aboutToShow();
    for (QAction* action : w.frame.RecentMenu()->actions())
        shown << action->text();
    QCOMPARE(shown, (QStringList{"&1 " + QString::fromStdString(first),
                                 "&2 " + QString::fromStdString(second)}));
    w.frame.RecentMenu()->actions().at(1)->trigger();
    QCOMPARE(std::string(TheProtocol().name), std::string("Second"));
}

void MainFrameTest::missingRecentFileIsRemovedWithAMessage() {
    const QString gone = QDir::tempPath() + QStringLiteral("/no-such-folder-iso/gone.pro");
    AddRecentFile(gone);
    Framed w;
    Q_EMIT w.frame.RecentMenu()->aboutToShow();
    w.frame.RecentMenu()->actions().at(0)->trigger();
    QCOMPARE(w.boxes,
             QStringList{gone + " is no longer there; it is removed from the recent files."});
    QCOMPARE(RecentFiles(), QStringList());
}

// Another tool's definition however it was read, by Open (which goes by the content, whatever
// the name) or by File > Import: first in Open Recent, and imported again from there.
void MainFrameTest::importedFilesAreRecentAndImportAgain_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byImport");
    QTest::addColumn<QString>("title");
    const QString packager =
        "<?xml version=\"1.0\"?>\n<isopackager>\n"
        "<isofield id=\"0\" length=\"4\" name=\"MTI\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
        "<isofield id=\"2\" length=\"19\" name=\"PAN\" class=\"org.jpos.iso.IFA_LLNUM\"/>\n"
        "</isopackager>\n";
    const QString moov = R"({"name": "Moov test", "fields": {
        "0": {"type": "String", "length": 4, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "2": {"type": "Numeric", "length": 19, "enc": "ASCII", "prefix": "ASCII.LL"}}})";
    QTest::newRow("jPOS packager, Open") << "acme.xml" << packager << false << "acme (imported)";
    QTest::newRow("moov field list named .txt, Open")
        << "fields.txt" << moov << false << "Moov test (imported)";
    QTest::newRow("jPOS packager, File Import")
        << "acme.xml" << packager << true << "acme (imported)";
}

void MainFrameTest::importedFilesAreRecentAndImportAgain() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, byImport);
    QFETCH(QString, title);
    QTemporaryDir dir;
    const QString path =
        QString::fromStdString(Write(dir, name.toLatin1().constData(), text.toStdString()));
    Framed w;
    if (byImport) {
        auto* commands = w.frame.findChild<DefinitionCommands*>();
        QVERIFY(commands != nullptr);
        QVERIFY(commands->Import(path) != nullptr);
    } else {
        w.Open(path.toStdString());
    }
    QVERIFY2(w.frame.windowTitle().startsWith(title), qPrintable(w.frame.windowTitle()));
    QCOMPARE(RecentFiles(), QStringList{path});
    w.Open(kExamples + "/demo.pro");
    QCOMPARE(RecentFiles().size(), 2);
    Q_EMIT w.frame.RecentMenu()->aboutToShow();
    w.frame.RecentMenu()->actions().at(1)->trigger();
    QVERIFY2(w.frame.windowTitle().startsWith(title), qPrintable(w.frame.windowTitle()));
    QCOMPARE(TheProtocol().fields[2].size, 19);
    QCOMPARE(RecentFiles().first(), path);
}

void MainFrameTest::loadWithoutDefinitionLinesSaysSoAndEmptiesTheEditor_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("told");
    QTest::newRow("random bytes") << QByteArray("\x8f\x01zq\xff\n\x13\x37 FIELD\n", 13) << true;
    QTest::newRow("comments only") << QByteArray("// a note\n\n") << true;
    QTest::newRow("an empty name is a definition line") << QByteArray("  NAME=\n") << false;
    QTest::newRow("one encoding") << QByteArray("LEN_Enc= CHAR\n") << false;
}

void MainFrameTest::loadWithoutDefinitionLinesSaysSoAndEmptiesTheEditor() {
    QFETCH(QByteArray, content);
    QFETCH(bool, told);
    QTemporaryDir dir;
    Framed w;
    w.Open(kExamples + "/demo.pro");
    HWND list = w.Item(0, IDC_LIST);
    ListSetSelected(list, 0);
    QVERIFY(!GetWindowText(w.Item(0, IDC_DESCRIPTION)).empty());
    w.Open(Write(dir, "garbage.pro", content.toStdString()));
    QCOMPARE(w.boxes, told ? QStringList{"garbage.pro holds no protocol definition lines; the "
                                         "definition is now empty."}
                           : QStringList());
    // Loaded all the same, and no box shows the definition that is gone.
    QCOMPARE(ListGetItemCount(list), 0);
    for (int id : {IDC_DESCRIPTION, IDC_FIELD_NUMBER, IDC_LENGTH})
        QCOMPARE(GetWindowText(w.Item(0, id)), std::string());
    QCOMPARE(ComboGetCurSel(w.Item(0, IDC_TYPE)), CB_ERR);
    QCOMPARE(GetCheck(w.Item(0, IDC_VARIABLE)), BST_UNCHECKED);
}

void MainFrameTest::pasteDumpTakesTheFirstMessageAsHex_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("byte list") << "0x08, 0x00, 0x82, 0x20"
                               << "08008220" << QStringList();
    QTest::newRow("hexdump -C")
        << "00000000  30 38 30 30 0a ff                                 |0800..|\n00000006\n"
        << "303830300AFF" << QStringList();
    QTest::newRow("two messages")
        << "0x01, 0x02\n\n0x03\n"
        << "0102"
        << QStringList{"The clipboard holds 2 messages; the first is now in the message box."};
    QTest::newRow("no dump") << "hello, world"
                             << "kept"
                             << QStringList{
                                    "The clipboard holds no message dump (not a hexdump or "
                                    "byte list: line 1); the message box is unchanged."};
}

void MainFrameTest::pasteDumpTakesTheFirstMessageAsHex() {
    QFETCH(QString, clipboard);
    QFETCH(QString, box);
    QFETCH(QStringList, told);
    Framed w;
    SetWindowText(w.Item(2, IDC_MESSAGE), "kept");
    QApplication::clipboard()->setText(clipboard);
    w.MenuAction("&Message", "Paste dump as &hex")->trigger();
    QCOMPARE(WindowQText(w.Item(2, IDC_MESSAGE)), box);
    QCOMPARE(GetCheck(w.Item(2, IDC_HEXA)),
             told.isEmpty() || box != "kept" ? BST_CHECKED : BST_UNCHECKED);
    QCOMPARE(w.boxes, told);
    QVERIFY(w.Page(2)->isVisible());
}

void MainFrameTest::editMessageTakesTheParseAndUseInParserBringsItBack() {
    Framed w;
    w.MenuAction("&Message", "&Edit\u2026")->trigger();
    QCOMPARE(w.boxes.size(), 1);  // nothing parsed yet: said, no editor
    QCOMPARE(MessageEditorOf(w.frame), nullptr);
    w.Open(kExamples + "/demo.pro");
    const QString chip = QStringLiteral(
        "3032303070200000008002001041111111111111110000000000000010000001235445524D3030303124"
        "9F0206000000001000950500000080005A08411111111111111170089A032512079C0100");
    SetWindowText(w.Item(2, IDC_MESSAGE), chip.toLatin1().constData());
    SetCheck(w.Item(2, IDC_HEXA), BST_CHECKED);
    QVERIFY(w.dlg.Parser().Parse());
    w.ShowTab(0);
    w.MenuAction("&Message", "&Edit\u2026")->trigger();
    MessageEditorWindow* editor = MessageEditorOf(w.frame);
    QVERIFY(editor != nullptr && editor->isVisible());
    MessageTreeModel& model = editor->Model();
    QVERIFY(model.SetValue(model.IndexOf(model.Field(11), MessageTreeModel::kValue),
                           QStringLiteral("000124")));
    QCOMPARE(WindowQText(w.Item(2, IDC_MESSAGE)), chip);
    QTest::mouseClick(editor->UseButton(), Qt::LeftButton);
    QTRY_VERIFY(w.Page(2)->isVisible());
    QString changed = chip;
    changed.replace(QStringLiteral("000123"), QStringLiteral("000124"));
    QCOMPARE(WindowQText(w.Item(2, IDC_MESSAGE)), changed);
    QVERIFY(WindowQText(w.Item(2, IDC_STATUS)).contains(QStringLiteral("Parsing OK")));
    editor->close();
}

void MainFrameTest::windowOpensOnTheScreenAndShrinksToItsLeast() {
    Framed w;
    const QRect area = w.frame.screen()->availableGeometry();
    QVERIFY(area.contains(w.frame.geometry()));
    const QSize least = w.frame.minimumSize();
    QVERIFY2(least.width() <= 640 && least.height() <= 480,
             qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
    w.frame.resize(least);
    QTRY_COMPARE(w.frame.size(), least);
    // Smaller than its pages, the window scrolls them: every control stays reachable.
    const QWidget* host = w.Area()->widget();
    const QSize hidden = (host->size() - w.Area()->viewport()->size()).expandedTo({0, 0});
    QCOMPARE(w.Area()->verticalScrollBar()->maximum(), hidden.height());
    QVERIFY(w.frame.rect().contains(
        QRect(GetDlgItem(w.frame.Dialog(), IDC_SAVE)->mapTo(&w.frame, QPoint()),
              GetDlgItem(w.frame.Dialog(), IDC_SAVE)->size())));
}

// "Hexa", "Parse" and the message box, used with every parse, in view as the window opens.
void MainFrameTest::parserControlsAreInViewWithoutScrolling() {
    Framed w;
    w.ShowTab(2);
    for (int id : {IDC_HEXA, IDC_PARSE, IDC_MESSAGE})
        QTRY_VERIFY2(w.InView(w.Item(2, id)), qPrintable(QString::number(id)));
    QCOMPARE(w.Area()->horizontalScrollBar()->value(), 0);
    QVERIFY(w.Item(2, IDC_HEXA)->geometry().left() > w.Item(2, IDC_STATUS)->geometry().left());
}

void MainFrameTest::pagesOpenAtTheirTopLeft() {
    Framed w;
    w.frame.resize(w.frame.minimumSize());
    QTRY_COMPARE(w.frame.size(), w.frame.minimumSize());
    w.ShowTab(0);
    QScrollBar* down = w.Area()->verticalScrollBar();
    QTRY_VERIFY(down->maximum() > 0);
    down->setValue(down->maximum());
    w.ShowTab(1);
    QCOMPARE(down->value(), 0);
    // A click in a tall control does not scroll the page under the pointer.
    QWidget* list = w.Item(1, IDC_LIST);
    QTest::mouseClick(static_cast<QAbstractScrollArea*>(list)->viewport(), Qt::LeftButton, {},
                      QPoint(5, 5));
    QCOMPARE(down->value(), 0);
}

// The thumb is what the eye takes for it, the darker block, and it sits where value() says.
void MainFrameTest::scrollThumbIsAtTheTopWhenTheValueIs() {
    Framed w;
    w.frame.resize(w.frame.minimumSize());
    QTRY_COMPARE(w.frame.size(), w.frame.minimumSize());
    w.ShowTab(0);
    QScrollBar* bar = w.Area()->verticalScrollBar();
    QTRY_VERIFY(bar->isVisible() && bar->maximum() > 0);
    bar->setValue(bar->minimum());
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = option.sliderValue = bar->value();
    option.pageStep = bar->pageStep();
    option.singleStep = bar->singleStep();
    option.subControls = QStyle::SC_All;
    const QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                     QStyle::SC_ScrollBarSlider, bar);
    const QRect groove = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                      QStyle::SC_ScrollBarAddPage, bar);
    QVERIFY(thumb.top() < groove.top());
    const QImage shot = bar->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    auto lightness = [&](const QRect& r) {
        long sum = 0;
        long n = 0;
        const QRect pixels =
            QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toRect();
        for (int y = pixels.top() + 2; y < pixels.bottom() - 2; ++y)
            for (int x = pixels.left() + 3; x < pixels.right() - 3; ++x, ++n)
                sum += QColor(shot.pixel(x, y)).lightness();
        return n == 0 ? 0 : sum / n;
    };
    QVERIFY2(
        lightness(thumb) + 20 < lightness(groove),
        qPrintable(
            QStringLiteral("thumb %1, groove %2").arg(lightness(thumb)).arg(lightness(groove))));
}

void MainFrameTest::toolWindowGoesBesideOrOffTheMessageBox_data() {
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QRect>("avoid");
    QTest::addColumn<QRect>("placed");
    const QSize frame(400, 300);
    QTest::newRow("room on the right")
        << QRect(0, 0, 600, 500) << QRect(10, 10, 500, 100) << QRect(QPoint(600, 0), frame);
    QTest::newRow("room on the left only")
        << QRect(700, 100, 580, 500) << QRect(710, 110, 500, 100) << QRect(QPoint(300, 100), frame);
    QTest::newRow("no room: off the message box at the top")
        << QRect(0, 0, 1280, 900) << QRect(10, 10, 1200, 300) << QRect(QPoint(0, 600), frame);
    QTest::newRow("no room: off the message box at the bottom")
        << QRect(0, 0, 1280, 900) << QRect(10, 700, 1200, 190) << QRect(QPoint(880, 0), frame);
}

void MainFrameTest::toolWindowGoesBesideOrOffTheMessageBox() {
    QFETCH(QRect, owner);
    QFETCH(QRect, avoid);
    QFETCH(QRect, placed);
    const QRect area(0, 0, 1280, 900);
    const QRect got = PlaceToolFrame(QSize(400, 300), owner, area, avoid);
    QCOMPARE(got, placed);
    QVERIFY(area.contains(got));
}

void MainFrameTest::helpFindsTheInstalledManualAndExamples() {
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("usr/bin"));
    QVERIFY(QDir(root.path()).mkpath("usr/share/doc/iso8583-workbench/examples"));
    const QString bin = root.filePath("usr/bin");
    QCOMPARE(FindDocument("README.md", bin), QString());
    Write(root, "usr/share/doc/iso8583-workbench/README.md", "# Manual\n");
    QCOMPARE(FindDocument("README.md", bin),
             root.filePath("usr/share/doc/iso8583-workbench/README.md"));
    // The build tree: the program two folders below the documents.
    QVERIFY(QDir(root.path()).mkpath("build/src/ui"));
    QCOMPARE(FindDocument("README.md", root.filePath("build/src/ui")), QString());
    QVERIFY(QDir(root.path()).mkpath("build/share/doc/iso8583-workbench"));
    Write(root, "build/share/doc/iso8583-workbench/README.md", "# Built\n");
    QCOMPARE(FindDocument("README.md", root.filePath("build/src/ui")),
             root.filePath("build/share/doc/iso8583-workbench/README.md"));
    QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    const QString about = AboutText(bin);
    QVERIFY(about.contains(QStringLiteral("9.8.7")));
    QVERIFY(about.contains(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
    QVERIFY(about.contains(root.filePath("usr/share/doc/iso8583-workbench/examples")));
}

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
