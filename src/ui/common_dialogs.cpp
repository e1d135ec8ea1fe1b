#include "ui/common_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

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
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        default:
            return (flags & 0xF) == MB_YESNO ? IDNO : IDOK;
    }
}

bool ShowFileDialog(HWND owner, FileChoice choice, std::string& path) {
    const bool save = choice == FileChoice::Save;
    QFileDialog dialog(owner, save ? QStringLiteral("Save a protocol definition")
                                   : QStringLiteral("Load a protocol definition"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(QStringLiteral("Protocol definition file (*.pro)"));
    dialog.setDefaultSuffix(QStringLiteral("pro"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    return true;
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
    return ShowFileDialog(owner, choice, path);
}

FileChooser SetFileChooser(FileChooser chooser) {
    FileChooser previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}
