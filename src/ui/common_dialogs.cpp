#include "ui/common_dialogs.h"

#include <QMessageBox>
#include <QPushButton>

#include "ui/file_dialogs.h"
#include "ui/window_text.h"

namespace {

MessageBoxHandler& BoxHandler() {
    static MessageBoxHandler handler;
    return handler;
}

FileChooser& Chooser() {
    static FileChooser chooser;
    return chooser;
}

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & 0xF0) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONWARNING:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int ShowBox(HWND owner, const std::string& text, const std::string& caption, unsigned flags) {
    QMessageBox box(IconOf(flags), FromModelText(caption.c_str()), FromModelText(text.c_str()),
                    QMessageBox::NoButton, owner);
    switch (flags & 0xF) {
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton((flags & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        case MB_YESNOCANCEL: {
            // The program's one three-way question is about unsaved work: its buttons say
            // what Yes and No do. Discard is named plainly, also where the desktop would call
            // it "Close without Saving", since the question comes before a Load too.
            box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
            box.button(QMessageBox::Discard)->setText(QStringLiteral("Discard"));
            box.setDefaultButton(QMessageBox::Save);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        }
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton((flags & MB_DEFBUTTON2) ? QMessageBox::Cancel : QMessageBox::Ok);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
        case QMessageBox::Save:
            return IDYES;
        case QMessageBox::No:
        case QMessageBox::Discard:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        default:
            if ((flags & 0xF) == MB_YESNOCANCEL) return IDCANCEL;
            return (flags & 0xF) == MB_YESNO ? IDNO : IDOK;
    }
}

}  // namespace

int MessageBox(HWND owner, const char* text, const char* caption, unsigned flags) {
    const std::string t = text == nullptr ? "" : text;
    const std::string c = caption == nullptr ? "" : caption;
    if (BoxHandler()) return BoxHandler()(owner, t, c, flags);
    return ShowBox(owner, t, c, flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(BoxHandler());
    BoxHandler() = std::move(handler);
    return previous;
}

bool ChooseProtocolFile(HWND owner, FileChoice choice, std::string& path) {
    if (Chooser()) return Chooser()(owner, choice, path);
    return ShowProtocolFileDialog(owner, choice, path);
}

FileChooser SetFileChooser(FileChooser chooser) {
    FileChooser previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}
