#include "ui/main_frame.h"

#include <algorithm>

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "ui/common_dialogs.h"
#include "ui/definition_commands.h"
#include "ui/dlg_base.h"
#include "ui/dlg_window.h"
#include "ui/help_window.h"
#include "ui/main_dlg.h"
#include "ui/message_editor_menu.h"
#include "ui/recent_files.h"

namespace {

QString MenuText(int index, const QString& path) {
    QString shown = QDir::toNativeSeparators(path);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

}  // namespace

MainFrame::MainFrame(MainDlg& d) : dlg(d) {
    dialog = CreateDialogParam(IDD_MAIN, nullptr, &dlg);
    // The dialog gave itself its caption and the document its title: the frame carries them.
    setWindowTitle(dialog->windowTitle());
    setWindowModified(dialog->isWindowModified());
    setCentralWidget(dialog);
    dialog->show();
    dlg.Document().SetFileUsed(
        [](const std::string& path) { AddRecentFile(QFile::decodeName(path.c_str())); });
    BuildMenus();
}

MainFrame::~MainFrame() = default;

void MainFrame::BuildMenus() {
    const DocumentActions& file = dlg.Document().Actions();
    const ParserActions& parser = dlg.Parser().Actions();

    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->addAction(file.open);
    recent = fileMenu->addMenu(QStringLiteral("Open &Recent"));
    connect(recent, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
    FillRecentMenu();
    fileMenu->addSeparator();
    fileMenu->addAction(file.save);
    fileMenu->addAction(file.saveAs);
    auto* definition = new DefinitionCommands(this, dlg);
    definition->AddFileEntries(fileMenu);
    fileMenu->addSeparator();
    // Closing goes through the window's own close, and so through the unsaved-changes question.
    QAction* quit = fileMenu->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    definition->AddDefinitionMenu(menuBar());

    QMenu* message = menuBar()->addMenu(QStringLiteral("&Message"));
    message->addAction(parser.parse);
    message->addAction(parser.details);
    message->addAction(parser.diagnose);
    message->addSeparator();
    message->addAction(parser.pasteDump);
    message->addSeparator();
    AddMessageEditorCommands(*message, dlg, *this);
    // From another tab, what these change is brought into view.
    for (QAction* action : {parser.parse, parser.pasteDump})
        connect(action, &QAction::triggered, this, [this] { dlg.ShowParserPage(); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&Manual"), this, [this] { ShowManual(this); })
        ->setShortcut(QKeySequence::HelpContents);
    help->addSeparator();
    help->addAction(QStringLiteral("&About ISO 8583 Workbench"), this, [this] { ShowAbout(this); });
}

void MainFrame::FillRecentMenu() {
    recent->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        recent->addAction(MenuText(i, path), this, [this, path] { OpenRecent(path); });
    }
    if (files.isEmpty()) recent->addAction(QStringLiteral("No recent files"))->setEnabled(false);
}

void MainFrame::OpenRecent(const QString& path) {
    if (!QFileInfo::exists(path)) {
        RemoveRecentFile(path);
        const QString text =
            QStringLiteral("%1 is no longer there; it is removed from the recent files.").arg(path);
        MessageBox(dialog, text.toUtf8().constData(), windowTitle().toUtf8().constData(),
                   MB_ICONWARNING | MB_OK);
        return;
    }
    dlg.Document().Open(dialog, QFile::encodeName(path).toStdString());
}

void MainFrame::FitToScreen(const QScreen* screen) {
    const DialogWindow* window = DialogWindow::From(dialog);
    if (screen == nullptr || window == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QSize room = area.size() - window->FrameAllowance();
    const QSize content = window->TemplateSize() + QSize(0, menuBar()->sizeHint().height());
    const QSize least = kLeast.boundedTo(content).boundedTo(room);
    setMinimumSize(least);
    if (fitted) {
        resize(size().boundedTo(room).expandedTo(least));
        return;
    }
    // Where the pages scroll one way, room for that scroll bar spares them scrolling the other.
    QSize opening = content.boundedTo(room);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (opening.height() < content.height()) opening.rwidth() += bar;
    if (opening.width() < content.width()) opening.rheight() += bar;
    opening = opening.boundedTo(room);
    resize(opening);
    // Centred in the free area, its frame inside it: a move places the frame.
    QRect frame(QPoint(), opening + window->FrameAllowance());
    frame.moveCenter(area.center());
    move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
    fitted = true;
}

void MainFrame::setVisible(bool visible) {
    if (visible && !fitted) FitToScreen(screen());
    QMainWindow::setVisible(visible);
}

void MainFrame::showEvent(QShowEvent* event) {
    // A window taken to another screen fits that one.
    if (!watchingScreen && windowHandle() != nullptr) {
        watchingScreen = true;
        connect(windowHandle(), &QWindow::screenChanged, this,
                [this](QScreen* screen) { FitToScreen(screen); });
    }
    QMainWindow::showEvent(event);
}

void MainFrame::closeEvent(QCloseEvent* event) {
    auto* window = DialogWindow::From(dialog);
    if (window != nullptr && !window->Ended()) {
        const QPoint p = QCursor::pos();
        DlgProc(dialog, WM_SYSCOMMAND, SC_CLOSE, MakeLParam(p.x(), p.y()));
    }
    if (window != nullptr && !window->Ended()) {
        event->ignore();
        return;
    }
    // The windows beside it close with it, keeping their size and place for the next run.
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->isWindow() && child->isVisible()) child->close();
    }
    event->accept();
    if (loop != nullptr) loop->quit();
}

void MainFrame::Run() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) FitToScreen(screen);
    show();
    const auto* window = DialogWindow::From(dialog);
    QEventLoop running;
    loop = &running;
    if (window != nullptr && !window->Ended()) running.exec();
    loop = nullptr;
}
