#include "ui/hex_dump.h"

#include <algorithm>
#include <cstdio>

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

constexpr int kOffsetWidth = 6;                                    // "0000  "
constexpr int kCharsColumn = kOffsetWidth + 3 * kDumpPerLine + 1;  // after the hex and a blank
constexpr int kLineWidth = kCharsColumn + kDumpPerLine + 1;        // and the line break

}  // namespace

QPlainTextEdit* NewHexDumpView(QWidget* parent) {
    auto* dump = new QPlainTextEdit(parent);
    dump->setReadOnly(true);
    dump->setLineWrapMode(QPlainTextEdit::NoWrap);
    dump->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    dump->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return dump;
}

QString HexDumpText(const std::uint8_t* units, int count, int first, const char* digits) {
    QString text;
    for (int line = 0; line * kDumpPerLine < count; ++line) {
        char head[16];
        std::snprintf(head, sizeof head, "%04X  ", (first + line * kDumpPerLine) & 0xFFFF);
        QString hex = QString::fromLatin1(head);
        QString chars;
        for (int i = line * kDumpPerLine; i < std::min(count, (line + 1) * kDumpPerLine); ++i) {
            char shown[4];
            std::snprintf(shown, sizeof shown, "%02X ", units[i]);
            if (digits != nullptr) {
                shown[0] = digits[2 * i];
                shown[1] = digits[2 * i + 1];
            }
            const bool masked = shown[0] == '*' || shown[1] == '*';
            hex += QString::fromLatin1(shown);
            chars += masked                                ? QChar('*')
                     : units[i] >= 0x20 && units[i] < 0x7F ? QChar(units[i])
                                                           : QChar('.');
        }
        text += hex.leftJustified(kCharsColumn) + chars.leftJustified(kDumpPerLine) + '\n';
    }
    return text;
}

int HexDumpLineWidth() {
    return kLineWidth;
}

QList<QTextEdit::ExtraSelection> HexDumpMarks(QPlainTextEdit* dump, int from, int count,
                                              const QTextCharFormat& format) {
    QList<QTextEdit::ExtraSelection> marks;
    for (int i = from; i < from + count;) {
        const int line = i / kDumpPerLine;
        const int last = std::min(from + count, (line + 1) * kDumpPerLine) - 1;
        const int base = line * kLineWidth;
        const int a = i % kDumpPerLine;
        const int b = last % kDumpPerLine;
        auto mark = [&](int start, int end) {
            QTextCursor cursor(dump->document());
            cursor.setPosition(base + start);
            cursor.setPosition(base + end, QTextCursor::KeepAnchor);
            marks.append({cursor, format});
        };
        mark(kOffsetWidth + 3 * a, kOffsetWidth + 3 * b + 2);
        mark(kCharsColumn + a, kCharsColumn + b + 1);
        i = last + 1;
    }
    return marks;
}

int HexDumpUnitAt(int position) {
    if (position < 0) return -1;
    const int line = position / kLineWidth;
    const int column = position % kLineWidth;
    int unit = -1;
    if (column >= kOffsetWidth && column < kOffsetWidth + 3 * kDumpPerLine &&
        (column - kOffsetWidth) % 3 != 2) {
        unit = (column - kOffsetWidth) / 3;
    } else if (column >= kCharsColumn && column < kCharsColumn + kDumpPerLine) {
        unit = column - kCharsColumn;
    }
    return unit < 0 ? -1 : line * kDumpPerLine + unit;
}

int HexDumpLineOf(int unit) {
    return unit / kDumpPerLine;
}
