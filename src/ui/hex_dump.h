// A hex dump in a plain text view: sixteen units a line behind their offset, then the same
// units as characters; and the marks that colour stretches of it.
#pragma once

#include <cstdint>

#include <QList>
#include <QString>
#include <QTextEdit>

class QPlainTextEdit;
class QTextCharFormat;
class QWidget;

inline constexpr int kDumpPerLine = 16;

// A read-only, unwrapped view in the fixed font, for a dump.
QPlainTextEdit* NewHexDumpView(QWidget* parent);
// The dump of count units, offsets counted from first. digits, when given, holds the two
// digits to show for each unit, a masked one as '*' (as masked values show elsewhere); a unit
// with a masked digit shows as '*' among the characters too.
QString HexDumpText(const std::uint8_t* units, int count, int first, const char* digits = nullptr);
// Characters a dump line takes, its line break included.
int HexDumpLineWidth();
// The dump's stretches that show units [from, from + count): the hex digits and the characters
// of each line they cross.
QList<QTextEdit::ExtraSelection> HexDumpMarks(QPlainTextEdit* dump, int from, int count,
                                              const QTextCharFormat& format);
// The unit (counted from the dump's first) shown at a character position, or -1 between them.
int HexDumpUnitAt(int position);
// The first text block of the line that shows the unit.
int HexDumpLineOf(int unit);
