#include "ui/diagnosis_window.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "diagnose/diagnoser.h"
#include "diagnose/reading_words.h"
#include "support/text.h"
#include "ui/hex_dump.h"
#include "ui/parsed_message.h"
#include "ui/tool_window.h"
#include "ui/tree_copy.h"
#include "ui/window_text.h"

namespace {

constexpr int kEntryRole = Qt::UserRole;
constexpr int kMapRows = 8;

enum Column { kOffset, kUnits, kPart, kHex, kValue };

// Light backgrounds under dark text, whatever the theme, so that every part reads the same;
// neighbouring fields alternate so that their border shows.
QColor PartColour(const MapEntry& entry, int fieldIndex) {
    switch (entry.part) {
        case MapPart::kHeader:
            return QColor(0xD9, 0xD9, 0xD9);
        case MapPart::kMti:
            return QColor(0xBF, 0xDB, 0xFF);
        case MapPart::kBitmap:
            return QColor(0xC4, 0xEB, 0xC4);
        case MapPart::kTrailing:
            return QColor(0xFF, 0xC2, 0xC2);
        case MapPart::kField:
            break;
    }
    if (entry.stopped) return QColor(0xFF, 0x9E, 0x9E);
    return fieldIndex % 2 == 0 ? QColor(0xFF, 0xEC, 0xB3) : QColor(0xF5, 0xD5, 0xF0);
}

// Findings quote message units among the system's words: every unit outside 0x20 to 0x7E
// shows as \xHH, as the command line writes it, rather than as a box or a code-page letter.
QString FindingText(const std::string& text) {
    return UnitsText(text);
}

// A reading's words are the system's own (an arrow among them) around the message units it
// quotes, which show as in findings.
std::string EscapedUnits(std::string_view units) {
    std::string shown;
    EscapeUnits(shown, reinterpret_cast<const unsigned char*>(units.data()),
                static_cast<int>(units.size()));
    return shown;
}

QString ReadingText(const Reading& reading) {
    const std::string words = ReadingWords(reading, EscapedUnits);
    return FromModelText(words.c_str(), static_cast<int>(words.size()));
}

QString HexOf(const MapRow& row) {
    return QString::fromStdString(row.prefixHex.empty() ? row.hex : row.prefixHex + ' ' + row.hex);
}

// The digits the masked dump shows: the map rows' own, which cover every unit in order.
std::string DumpDigits(const std::vector<MapRow>& rows, std::size_t units) {
    std::string digits;
    for (const MapRow& row : rows)
        digits += row.prefixHex + row.hex;
    // Should the rows ever fall short of the message, nothing is shown rather than too much.
    if (digits.size() != 2 * units) digits.assign(2 * units, '*');
    return digits;
}

QString ReadingAction(const Reading& reading) {
    return reading.change ? QStringLiteral("Use this reading")
                          : QStringLiteral("Remove these units from the message box");
}

}  // namespace

DiagnosisWindow::DiagnosisWindow(QWidget* owner, UnitsPicked unitsPicked,
                                 ReadingChosen readingChosen)
    : QWidget(owner, Qt::Window), picked(std::move(unitsPicked)), chosen(std::move(readingChosen)) {
    setWindowTitle(QStringLiteral("Diagnosis"));
    setObjectName(QStringLiteral("diagnosis"));

    verdict = new QLabel(this);
    verdict->setWordWrap(true);
    verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = verdict->font();
    bold.setBold(true);
    verdict->setFont(bold);

    dump = NewHexDumpView(this);
    dump->viewport()->installEventFilter(this);
    dump->viewport()->setMouseTracking(true);

    parts = new QTreeWidget(this);
    parts->setHeaderLabels({QStringLiteral("Offset"), QStringLiteral("Units"),
                            QStringLiteral("Part"), QStringLiteral("Hex"),
                            QStringLiteral("Value")});
    parts->setRootIsDecorated(false);
    parts->setUniformRowHeights(true);
    parts->setAllColumnsShowFocus(true);
    AddRowCopy(parts);

    // A message can hold many fields its definition does not allow: the findings scroll.
    findings = new QPlainTextEdit(this);
    findings->setReadOnly(true);

    readingsBox = new QGroupBox(QStringLiteral("Readings"), this);
    readingsLayout = new QVBoxLayout(readingsBox);
    readingsLead = new QLabel(readingsBox);
    readingsLead->setWordWrap(true);
    readingsLayout->addWidget(readingsLead);

    showCardData = new QCheckBox(QStringLiteral("Show card data"), this);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(dump);
    split->addWidget(parts);
    split->addWidget(findings);
    split->setChildrenCollapsible(false);
    split->setStretchFactor(1, 2);
    split->setStretchFactor(2, 1);
    // However small the screen, the byte map keeps eight lines in view (and its scroll bar).
    const int dumpLine = QFontMetrics(dump->font()).lineSpacing();
    dump->setMinimumHeight(kMapRows * dumpLine + 2 * dump->frameWidth() +
                           2 * static_cast<int>(dump->document()->documentMargin()) +
                           dump->horizontalScrollBar()->sizeHint().height());
    // The map's list first: a dump of a few lines needs less room than its parts.
    const int line = fontMetrics().height();
    split->setSizes({8 * line, 12 * line, 5 * line});
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(showCardData);
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(verdict);
    layout->addWidget(split, 1);
    layout->addWidget(readingsBox);
    layout->addLayout(bottom);

    QObject::connect(parts, &QTreeWidget::currentItemChanged, this,
                     [this](QTreeWidgetItem* item) { OnCurrentChanged(item); });
    QObject::connect(showCardData, &QCheckBox::toggled, this, [this] {
        ShowParts();
        ShowReadings();
        ColourDump(-1);
    });
    QObject::connect(close, &QDialogButtonBox::rejected, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    QObject::connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void DiagnosisWindow::ShowMessage(const ProtocolDef& protocol,
                                  const std::vector<std::uint8_t>& message) {
    def = &protocol;
    units = message;
    diagnosis = Diagnosis();
    maskedRows.clear();
    clearRows.clear();
    if (!units.empty()) {
        AutoBuff buffer;
        const int n = static_cast<int>(units.size());
        if (buffer.Reserve(n + 1, false)) {
            std::copy(units.begin(), units.end(), buffer.Data());
            buffer.SetLength(n);
            buffer.Terminate();
            // The definition's header is set aside as the Parser page sets it aside.
            const int header = std::clamp(protocol.options.header, 0, n);
            diagnosis = DiagnoseMessage(buffer, header, protocol);
            MapRows(protocol, InspectOptions{}).Build(buffer, diagnosis, maskedRows);
            InspectOptions clear;
            clear.mask = false;
            MapRows(protocol, clear).Build(buffer, diagnosis, clearRows);
        }
    }
    ShowVerdict();
    ShowParts();
    ShowFindings();
    ShowReadings();
    ColourDump(-1);
}

void DiagnosisWindow::ShowVerdict() {
    if (units.empty()) {
        verdict->setText(QStringLiteral("No message was parsed."));
    } else if (diagnosis.verdict.empty()) {
        verdict->setText(QStringLiteral("No verdict: neither MTI nor bitmap could be read"));
    } else {
        verdict->setText(VerdictText(diagnosis.verdict));
    }
}

QString DiagnosisWindow::PartName(const MapEntry& entry) const {
    switch (entry.part) {
        case MapPart::kHeader:
            return QStringLiteral("Header");
        case MapPart::kMti:
            return QStringLiteral("MTI");
        case MapPart::kBitmap:
            return entry.field == 1 ? QStringLiteral("Secondary bitmap")
                                    : QStringLiteral("Primary bitmap");
        case MapPart::kTrailing:
            return QStringLiteral("Trailing units");
        case MapPart::kField:
            break;
    }
    QString name = QStringLiteral("Field %1").arg(entry.field);
    if (def != nullptr && entry.field >= kFirstDataElement && entry.field <= kLastField) {
        const QString description = FromModelText(def->fields[entry.field].description);
        if (!description.isEmpty()) name += QStringLiteral(", ") + description;
    }
    return entry.stopped ? name + QStringLiteral(" (not decoded)") : name;
}

void DiagnosisWindow::ShowParts() {
    const std::vector<MapRow>& rows = showCardData->isChecked() ? clearRows : maskedRows;
    const QSignalBlocker quiet(parts);
    parts->clear();
    for (std::size_t i = 0; i < diagnosis.map.size() && i < rows.size(); ++i) {
        const MapEntry& entry = diagnosis.map[i];
        auto* item =
            new QTreeWidgetItem(parts, {QString::number(entry.offset), QString::number(entry.units),
                                        PartName(entry), HexOf(rows[i]), UnitsText(rows[i].value)});
        item->setData(kOffset, kEntryRole, static_cast<int>(i));
        item->setTextAlignment(kOffset, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(kUnits, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int column = kOffset; column <= kHex; ++column)
        parts->resizeColumnToContents(column);
    // Long fields' digits would push their values out of sight.
    const int hexRoom = parts->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 42;
    if (parts->columnWidth(kHex) > hexRoom) parts->setColumnWidth(kHex, hexRoom);
    const std::string digits = DumpDigits(rows, units.size());
    dump->setPlainText(HexDumpText(units.data(), static_cast<int>(units.size()), 0,
                                   showCardData->isChecked() ? nullptr : digits.c_str()));
}

void DiagnosisWindow::ShowFindings() {
    QStringList lines;
    if (diagnosis.stopped)
        lines << QStringLiteral("Stopped: ") + FindingText(diagnosis.stopped->text);
    for (const Finding& warning : diagnosis.warnings)
        lines << QStringLiteral("Warning: ") + FindingText(warning.text);
    findings->setPlainText(lines.join('\n'));
    findings->setVisible(!lines.isEmpty());
}

void DiagnosisWindow::ShowReadings() {
    for (QWidget* row : readingRows)
        row->deleteLater();
    readingRows.clear();
    buttons.clear();
    if (!diagnosis.searched) {
        readingsLead->setText(units.empty() ? QString()
                                            : QStringLiteral("It decodes exactly as it is."));
        readingsBox->setVisible(!units.empty());
        return;
    }
    readingsBox->show();
    readingsLead->setText(
        QString::fromLatin1(diagnosis.readings.empty() ? kNoReading : kReadingsLead));
    for (const Reading& reading : diagnosis.readings) {
        auto* row = new QWidget(readingsBox);
        Reading shown = reading;
        shown.headerHex = ReadingHeaderHex(units.data(), static_cast<int>(units.size()), reading,
                                           !showCardData->isChecked());
        auto* words = new QLabel(ReadingText(shown), row);
        words->setWordWrap(true);
        words->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* apply = new QPushButton(ReadingAction(reading), row);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->addWidget(words, 1);
        line->addWidget(apply);
        readingsLayout->addWidget(row);
        readingRows.push_back(row);
        buttons.push_back(apply);
        // A copy: the diagnosis is replaced by the parse the reading starts.
        QObject::connect(apply, &QPushButton::clicked, this, [this, reading] {
            if (chosen) chosen(reading);
        });
    }
}

// Every part in its colour, the picked one (an index into the map, or -1) as selected text.
void DiagnosisWindow::ColourDump(int selected) {
    QList<QTextEdit::ExtraSelection> marks;
    int fieldIndex = 0;
    for (int i = 0; i < static_cast<int>(diagnosis.map.size()); ++i) {
        const MapEntry& entry = diagnosis.map[i];
        QTextCharFormat format;
        if (i == selected) {
            format.setBackground(palette().highlight());
            format.setForeground(palette().highlightedText());
        } else {
            format.setBackground(PartColour(entry, fieldIndex));
            format.setForeground(QColor(Qt::black));
        }
        if (entry.part == MapPart::kField) ++fieldIndex;
        marks += HexDumpMarks(dump, entry.offset, entry.units, format);
    }
    dump->setExtraSelections(marks);
}

int DiagnosisWindow::PartAt(int unit) const {
    if (unit < 0) return -1;
    for (int i = 0; i < static_cast<int>(diagnosis.map.size()); ++i) {
        const MapEntry& entry = diagnosis.map[i];
        if (unit >= entry.offset && unit < entry.offset + entry.units) return i;
    }
    return -1;
}

void DiagnosisWindow::PickUnit(int unit) {
    const int part = PartAt(unit);
    if (part < 0) return;
    QTreeWidgetItem* item = parts->topLevelItem(part);
    // Picking the current part again selects its units again.
    if (item == parts->currentItem()) return OnCurrentChanged(item);
    parts->setCurrentItem(item);
}

void DiagnosisWindow::OnCurrentChanged(QTreeWidgetItem* item) {
    if (item == nullptr) {
        ColourDump(-1);
        return;
    }
    const int part = item->data(kOffset, kEntryRole).toInt();
    const MapEntry& entry = diagnosis.map[part];
    ColourDump(part);
    QTextCursor cursor(dump->document()->findBlockByNumber(HexDumpLineOf(entry.offset)));
    dump->setTextCursor(cursor);
    dump->ensureCursorVisible();
    if (picked) picked(entry.offset, entry.units);
}

// The dump names the part under the pointer, and a click picks it.
bool DiagnosisWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != dump->viewport()) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int part = PartAt(HexDumpUnitAt(dump->cursorForPosition(help->pos()).position()));
        if (part < 0) {
            QToolTip::hideText();
        } else {
            const QTreeWidgetItem* item = parts->topLevelItem(part);
            QString tip = item->text(kPart);
            if (!item->text(kValue).isEmpty()) tip += QStringLiteral(": ") + item->text(kValue);
            QToolTip::showText(help->globalPos(), tip, dump->viewport());
        }
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // A drag selects text to copy; only a plain click picks a part.
        if (mouse->button() == Qt::LeftButton && !dump->textCursor().hasSelection())
            PickUnit(
                HexDumpUnitAt(dump->cursorForPosition(mouse->position().toPoint()).position()));
    }
    return QWidget::eventFilter(watched, event);
}

// Wide enough for a full dump line, tall enough for the map and a few readings.
void DiagnosisWindow::Present(const QWidget* avoid) {
    const QFontMetrics mono(dump->font());
    const QSize wanted(mono.horizontalAdvance(QLatin1Char('0')) * (HexDumpLineWidth() + 40),
                       fontMetrics().height() * 40);
    PresentToolWindow(*this, wanted, avoid, fitted);
}
