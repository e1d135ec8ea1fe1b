#include "ui/message_editor_menu.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>

#include "ui/common_dialogs.h"
#include "ui/dlg_window.h"
#include "ui/main_dlg.h"
#include "ui/message_editor_window.h"
#include "ui/window_text.h"

namespace {

const QWidget* ParserBox(MainDlg& dlg) {
    return GetDlgItem(dlg.Page(2), IDC_MESSAGE);
}

MessageEditorWindow& EditorOf(QWidget& owner, MainDlg& dlg) {
    if (MessageEditorWindow* editor = MessageEditorOf(owner)) return *editor;
    return *new MessageEditorWindow(&owner, TheProtocol(), [&dlg](const QString& text, bool hex) {
        dlg.ShowParserPage();
        dlg.Parser().UseMessage(text, hex);
    });
}

// The MTIs of the message definitions, each with its title.
void NewMessage(MainDlg& dlg, QWidget& owner) {
    const ProtocolDef& def = TheProtocol();
    QStringList choices;
    for (int i = 0; i < def.messages.SlotCount(); ++i) {
        if (const MsgDef* msg = def.messages.At(i).get()) {
            const QString title = FromModelText(msg->title);
            choices << (title.isEmpty()
                            ? QString::fromLatin1(msg->mti)
                            : QStringLiteral("%1  %2").arg(QLatin1String(msg->mti), title));
        }
    }
    // An MTI is typed only where the definition has no message to choose from.
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(&owner, QStringLiteral("New message"), QStringLiteral("MTI:"),
                              choices, 0, choices.isEmpty(), &ok);
    const QString mti = chosen.trimmed().left(4);
    if (!ok || mti.isEmpty()) return;
    MessageEditorWindow& editor = EditorOf(owner, dlg);
    editor.NewMessage(mti.toLatin1().constData());
    editor.Present(ParserBox(dlg));
}

void EditMessage(MainDlg& dlg, QWidget& owner) {
    const ParsedMessage& parsed = dlg.Parser().Parsed();
    if (parsed.units.empty()) {
        MessageBox(&owner,
                   "No message has been parsed: parse one on the Parser page first, or make a "
                   "new one with Message \xE2\x96\xB8 New\xE2\x80\xA6.",
                   "Edit message", MB_ICONINFORMATION | MB_OK);
        return;
    }
    MessageEditorWindow& editor = EditorOf(owner, dlg);
    editor.EditMessage(parsed);
    editor.Present(ParserBox(dlg));
}

}  // namespace

void AddMessageEditorCommands(QMenu& menu, MainDlg& dlg, QWidget& owner) {
    QAction* create = menu.addAction(QStringLiteral("&New\u2026"), &owner,
                                     [&dlg, &owner] { NewMessage(dlg, owner); });
    create->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    QAction* edit = menu.addAction(QStringLiteral("&Edit\u2026"), &owner,
                                   [&dlg, &owner] { EditMessage(dlg, owner); });
    edit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
}

MessageEditorWindow* MessageEditorOf(const QWidget& owner) {
    return owner.findChild<MessageEditorWindow*>(QStringLiteral("messageEditor"),
                                                 Qt::FindDirectChildrenOnly);
}
