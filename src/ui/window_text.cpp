#include "ui/window_text.h"

#include <cstring>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QTextDocument>

#include "support/auto_buff.h"
#include "support/text.h"

namespace {

QString FromCp1252(const char* text, qsizetype bytes) {
    QString out;
    out.reserve(bytes);
    for (qsizetype i = 0; i < bytes; ++i) {
        out.append(QChar(Cp1252ToWide(static_cast<std::uint8_t>(text[i]))));
    }
    return out;
}

}  // namespace

QString FromModelText(const char* text, int bytes) {
    if (text == nullptr) return {};
    const qsizetype n = bytes < 0 ? static_cast<qsizetype>(std::strlen(text)) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString decoded = utf8.decode(QByteArrayView(text, n));
    if (!utf8.hasError()) return decoded;
    return FromCp1252(text, n);
}

std::string ToModelText(const QString& text) {
    return text.toStdString();
}

QString FromRawBytes(const char* bytes, int count) {
    if (bytes == nullptr || count <= 0) return {};
    return FromCp1252(bytes, count);
}

std::string ToRawBytes(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text)
        out.push_back(static_cast<char>(WideToCp1252(c.unicode())));
    return out;
}

QString WindowQText(HWND wnd) {
    if (wnd == nullptr) return {};
    if (auto* w = qobject_cast<QLineEdit*>(wnd)) return w->text();
    if (auto* w = qobject_cast<QPlainTextEdit*>(wnd)) return w->toPlainText();
    if (auto* w = qobject_cast<QComboBox*>(wnd)) return w->currentText();
    if (auto* w = qobject_cast<QLabel*>(wnd)) return w->text();
    if (auto* w = qobject_cast<QAbstractButton*>(wnd)) return w->text();
    if (auto* w = qobject_cast<QGroupBox*>(wnd)) return w->title();
    return wnd->windowTitle();
}

bool SetWindowQText(HWND wnd, const QString& text) {
    if (wnd == nullptr) return false;
    if (auto* w = qobject_cast<QLineEdit*>(wnd)) {
        w->setText(text);
    } else if (auto* w = qobject_cast<QPlainTextEdit*>(wnd)) {
        w->setPlainText(text);
    } else if (auto* w = qobject_cast<QComboBox*>(wnd)) {
        if (!w->isEditable()) return false;
        w->setEditText(text);
    } else if (auto* w = qobject_cast<QLabel*>(wnd)) {
        w->setText(text);
    } else if (auto* w = qobject_cast<QAbstractButton*>(wnd)) {
        w->setText(text);
    } else if (auto* w = qobject_cast<QGroupBox*>(wnd)) {
        w->setTitle(text);
    } else {
        wnd->setWindowTitle(text);
    }
    return true;
}

int GetWindowTextLength(HWND wnd) {
    return static_cast<int>(GetWindowText(wnd).size());
}

int GetWindowText(HWND wnd, char* buffer, int size) {
    if (buffer == nullptr || size < 1) return 0;
    CopyTextCut(buffer, static_cast<std::size_t>(size), GetWindowText(wnd).c_str());
    return static_cast<int>(std::strlen(buffer));
}

std::string GetWindowText(HWND wnd) {
    return ToModelText(WindowQText(wnd));
}

bool SetWindowText(HWND wnd, const char* text) {
    return SetWindowQText(wnd, FromModelText(text == nullptr ? "" : text));
}

std::string GetRawWindowText(HWND wnd) {
    // A multi-line box's plain text turns a no-break space (byte 0xA0) into a space; its raw
    // text keeps every character and marks line breaks with the paragraph separator, or with
    // the line separator where Shift+Enter broke the line.
    if (auto* w = qobject_cast<QPlainTextEdit*>(wnd)) {
        QString text = w->document()->toRawText();
        text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        text.replace(QChar::LineSeparator, QLatin1Char('\n'));
        return ToRawBytes(text);
    }
    return ToRawBytes(WindowQText(wnd));
}

bool SetRawWindowText(HWND wnd, const char* bytes, int count) {
    return SetWindowQText(wnd, FromRawBytes(bytes, count));
}

bool LoadWindowText(AutoBuff& buffer, HWND wnd) {
    buffer.Clear();
    const std::string text = GetWindowText(wnd);
    const int n = static_cast<int>(text.size());
    if (n <= 0) return true;
    if (buffer.Capacity() < n + 1) buffer.Reserve(n + 1, true);
    if (buffer.Data() != nullptr && n <= buffer.Capacity()) {
        const int count = std::min(n, buffer.Capacity() - 1);
        std::memcpy(buffer.Data(), text.data(), static_cast<std::size_t>(count));
        buffer.SetLength(count);
    }
    buffer.Terminate();
    if (AnsiCodePage() == 1252) {
        buffer.NormaliseBlanks(true);
    } else {
        buffer.ConvertCodePage(true);
        buffer.NormaliseBlanks(false);
        buffer.ConvertCodePage(false);
    }
    return true;
}
