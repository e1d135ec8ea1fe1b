#include "ui/document_state.h"

#include <cstdio>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "model/pro_file.h"
#include "model/pro_text.h"
#include "model/protocol.h"
#include "ui/common_dialogs.h"
#include "ui/definition_lines.h"
#include "ui/dlg_base.h"
#include "ui/dlg_window.h"

namespace {

// The one window whose state follows the dialogs' commands.
DocumentState* observed = nullptr;

// A box commits its text only when it loses the focus; a command that keeps the focus where
// it is (a shortcut, closing the window) commits it first, as leaving the box would.
void CommitFocusedEdit(HWND window) {
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (edit == nullptr || window == nullptr || edit->window() != window->window()) return;
    HWND dialog = edit->parentWidget();
    const int id = GetDlgCtrlID(edit);
    if (DialogWindow::From(dialog) == nullptr || id == 0) return;
    SendMessage(dialog, WM_COMMAND, MakeWParam(static_cast<unsigned>(id), EN_KILLFOCUS),
                reinterpret_cast<LPARAM>(edit));
}

// The protocol file that a drag carries: one local file named *.pro, or another tool's
// definition (*.xml, *.json), else empty.
QString ProtocolFileOf(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    const QString suffix = QFileInfo(path).suffix();
    for (const char* taken : {"pro", "xml", "json"}) {
        if (suffix.compare(QLatin1String(taken), Qt::CaseInsensitive) == 0) return path;
    }
    return {};
}

// Takes a dropped protocol file wherever in the window it lands, before an edit box would
// paste its name as text. The load runs after the drop has finished, so that the question it
// may ask does not hold up the drag's source.
class DropFilter : public QObject {
  public:
    DropFilter(HWND w, DocumentState& d) : QObject(w), window(w), document(d) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDragMoveEvent*>(event);
                if (ProtocolFileOf(drag->mimeData()).isEmpty()) return false;
                drag->acceptProposedAction();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                const QString path = ProtocolFileOf(drop->mimeData());
                if (path.isEmpty()) return false;
                drop->acceptProposedAction();
                QTimer::singleShot(0, this, [this, path] {
                    document.Open(window, QFile::encodeName(path).toStdString());
                });
                return true;
            }
            default:
                return false;
        }
    }

  private:
    HWND window;
    DocumentState& document;
};

}  // namespace

DocumentState::~DocumentState() {
    Detach();
}

void DocumentState::Attach(HWND w, std::function<void()> refreshPages) {
    Detach();
    window = w;
    refresh = std::move(refreshPages);
    programName = w->windowTitle();
    TakeBaseline();

    observed = this;
    SetDispatchObserver([] {
        if (observed != nullptr) observed->Check();
    });

    helper = new DropFilter(w, *this);
    w->setAcceptDrops(true);
    w->installEventFilter(helper);
    for (QWidget* child : w->findChildren<QWidget*>())
        child->installEventFilter(helper);

    const auto command = [this](const QString& text, QKeySequence keys,
                                bool (DocumentState::*run)(HWND)) {
        auto* action = new QAction(text, helper);
        action->setShortcut(keys);
        QObject::connect(action, &QAction::triggered, helper,
                         [this, run] { (this->*run)(window); });
        window->addAction(action);
        return action;
    };
    actions.open = command(QStringLiteral("&Open\u2026"), QKeySequence(Qt::CTRL | Qt::Key_O),
                           &DocumentState::Load);
    actions.save =
        command(QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), &DocumentState::Save);
    actions.saveAs =
        command(QStringLiteral("Save &As\u2026"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                &DocumentState::SaveAs);

    if (!startFile.empty()) {
        QTimer::singleShot(0, helper, [this] { Read(window, std::exchange(startFile, {})); });
    }
}

void DocumentState::Detach() {
    if (observed == this) {
        observed = nullptr;
        SetDispatchObserver({});
    }
    delete helper;
    helper = nullptr;
    actions = {};
    window = nullptr;
}

void DocumentState::Check() {
    if (window == nullptr || !FormatProtocolText(TheProtocol(), scratch)) return;
    modified = scratch != baseline;
    window->window()->setWindowModified(modified);
}

bool DocumentState::Load(HWND owner) {
    if (!MayDiscard(owner)) return false;
    std::string path = currentFile;
    if (!ChooseProtocolFile(owner, FileChoice::Load, path)) return false;
    return Read(owner, path);
}

bool DocumentState::Open(HWND owner, const std::string& path) {
    return MayDiscard(owner) && Read(owner, path);
}

bool DocumentState::SaveAs(HWND owner) {
    CommitFocusedEdit(window);
    std::string path = currentFile;
    if (!ChooseProtocolFile(owner, FileChoice::Save, path)) return false;
    return Write(owner, path);
}

bool DocumentState::Save(HWND owner) {
    CommitFocusedEdit(window);
    if (currentFile.empty()) return SaveAs(owner);
    return Write(owner, currentFile);
}

bool DocumentState::MayClose(HWND owner) {
    return MayDiscard(owner);
}

bool DocumentState::MayDiscard(HWND owner) {
    CommitFocusedEdit(window);
    Check();
    if (!modified) return true;
    const std::string caption = programName.toStdString();
    switch (MessageBox(owner, "Save changes to the protocol definition?", caption.c_str(),
                       MB_YESNOCANCEL | MB_ICONWARNING)) {
        case IDYES:
            return Save(owner);
        case IDNO:
            return true;
        default:
            return false;
    }
}

bool DocumentState::Read(HWND owner, const std::string& path) {
    if (foreignReader) {
        if (const std::optional<bool> read = foreignReader(owner, path)) return *read;
    }
    // A file that cannot be read leaves the definition as it was; the user chose it, so the
    // user learns why nothing changed.
    std::string error;
    if (!LoadProtocolFile(path, TheProtocol(), error)) {
        const std::string text = "The protocol definition was not loaded.\n" + error;
        MessageBox(owner, text.c_str(), "Error", MB_ICONERROR | MB_OK);
        return false;
    }
    currentFile = path;
    untitledName.clear();
    if (refresh) refresh();
    TakeBaseline();
    if (fileUsed) fileUsed(path);
    // Read as it is, but not without a word: a file of the wrong kind empties the definition.
    if (!HoldsDefinitionLines(path)) {
        const std::string text =
            QFileInfo(QFile::decodeName(path.c_str())).fileName().toStdString() +
            " holds no protocol definition lines; the definition is now empty.";
        MessageBox(owner, text.c_str(), programName.toStdString().c_str(), MB_ICONWARNING | MB_OK);
    }
    return true;
}

bool DocumentState::Adopt(const std::string& text, const QString& title, bool unsaved) {
    std::FILE* memory = ::fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (memory == nullptr) return false;
    ReadProtocolStream(memory, TheProtocol());
    std::fclose(memory);
    currentFile.clear();
    untitledName = title;
    if (refresh) refresh();
    TakeBaseline();
    if (unsaved) {
        baseline.clear();
        Check();
    }
    return true;
}

bool DocumentState::Write(HWND owner, const std::string& path) {
    // Written beside the target and renamed over it: a failure leaves any existing file whole,
    // and the user learns that nothing was saved.
    std::string error;
    if (!SaveProtocolFile(path, TheProtocol(), error)) {
        const std::string text = "The protocol definition was not saved.\n" + error;
        MessageBox(owner, text.c_str(), "Error", MB_ICONERROR | MB_OK);
        return false;
    }
    currentFile = path;
    TakeBaseline();
    if (fileUsed) fileUsed(path);
    return true;
}

void DocumentState::TakeBaseline() {
    if (!FormatProtocolText(TheProtocol(), baseline)) baseline.clear();
    modified = false;
    ShowTitle();
}

void DocumentState::ShowTitle() {
    if (window == nullptr) return;
    const QString untitled = untitledName.isEmpty() ? QStringLiteral("Untitled") : untitledName;
    const QString name = currentFile.empty()
                             ? untitled
                             : QFileInfo(QFile::decodeName(currentFile.c_str())).fileName();
    // The title belongs to the top-level window, whatever frame may hold the dialog.
    QWidget* top = window->window();
    top->setWindowTitle(QStringLiteral("%1[*] \u2014 %2").arg(name, programName));
    top->setWindowModified(modified);
}
