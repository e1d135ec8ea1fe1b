#include "ui/field_details_window.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/window_text.h"

namespace {

constexpr int kPerLine = 16;
constexpr int kOffsetWidth = 6;                                // "0000  "
constexpr int kCharsColumn = kOffsetWidth + 3 * kPerLine + 1;  // after the hex and a blank
constexpr int kLineWidth = kCharsColumn + kPerLine + 1;        // and the line break
constexpr int kStartRole = Qt::UserRole;
constexpr int kCountRole = Qt::UserRole + 1;

enum Column { kTag, kName, kLength, kValue };

QString DumpText(const std::uint8_t* units, int count, int first) {
    QString text;
    for (int line = 0; line * kPerLine < count; ++line) {
        char head[16];
        std::snprintf(head, sizeof head, "%04X  ", (first + line * kPerLine) & 0xFFFF);
        QString hex = QString::fromLatin1(head);
        QString chars;
        for (int i = line * kPerLine; i < std::min(count, (line + 1) * kPerLine); ++i) {
            char digits[4];
            std::snprintf(digits, sizeof digits, "%02X ", units[i]);
            hex += QString::fromLatin1(digits);
            chars += units[i] >= 0x20 && units[i] < 0x7F ? QChar(units[i]) : QChar('.');
        }
        text += hex.leftJustified(kCharsColumn) + chars.leftJustified(kPerLine) + '\n';
    }
    return text;
}

// The dump's stretches that show units [from, from + count): the hex digits and the characters
// of each line they cross.
QList<QTextEdit::ExtraSelection> Marks(QPlainTextEdit* dump, int from, int count,
                                       const QTextCharFormat& format) {
    QList<QTextEdit::ExtraSelection> marks;
    for (int i = from; i < from + count;) {
        const int line = i / kPerLine;
        const int last = std::min(from + count, (line + 1) * kPerLine) - 1;
        const int base = line * kLineWidth;
        const int a = i % kPerLine;
        const int b = last % kPerLine;
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

QTreeWidgetItem* AddRow(QTreeWidget* tree, QTreeWidgetItem* parent, const QStringList& cells,
                        UnitSpan units) {
    auto* item =
        parent != nullptr ? new QTreeWidgetItem(parent, cells) : new QTreeWidgetItem(tree, cells);
    item->setData(kTag, kStartRole, units.start);
    item->setData(kTag, kCountRole, units.count);
    item->setTextAlignment(kLength, Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QString Raw(const std::string& text) {
    return FromRawBytes(text.data(), static_cast<int>(text.size()));
}

QString LuhnText(bool passes) {
    return passes ? QStringLiteral("passes") : QStringLiteral("fails");
}

void AddTrackRows(QTreeWidget* tree, QTreeWidgetItem* parent, const TrackParts& track,
                  UnitSpan units) {
    const std::pair<const char*, const std::string*> parts[] = {
        {"Account number", &track.account},
        {"Name", &track.name},
        {"Expiry date", &track.expiry},
        {"Service code", &track.serviceCode},
        {"Discretionary data", &track.discretionary},
    };
    for (const auto& [name, text] : parts) {
        if (track.track != 1 && text == &track.name) continue;
        QTreeWidgetItem* row = AddRow(
            tree, parent,
            {QString(), QString::fromLatin1(name), QString::number(text->size()), Raw(*text)},
            units);
        if (text == &track.account)
            AddRow(tree, row,
                   {QString(), QStringLiteral("Luhn check"), QString(), LuhnText(track.luhn)},
                   units);
    }
}

}  // namespace

FieldDetailsWindow::FieldDetailsWindow(QWidget* owner, UnitsPicked unitsPicked)
    : QWidget(owner, Qt::Window), picked(std::move(unitsPicked)) {
    setWindowTitle(QStringLiteral("Field details"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    heading = new QLabel(this);
    heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dump = new QPlainTextEdit(this);
    dump->setReadOnly(true);
    dump->setLineWrapMode(QPlainTextEdit::NoWrap);
    dump->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    dump->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    tree = new QTreeWidget(this);
    tree->setHeaderLabels({QStringLiteral("Tag"), QStringLiteral("Name"), QStringLiteral("Length"),
                           QStringLiteral("Value")});
    tree->setUniformRowHeights(true);
    problem = new QLabel(this);
    problem->setWordWrap(true);
    problem->hide();

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(dump);
    split->addWidget(tree);
    split->setChildrenCollapsible(false);
    split->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(split, 1);
    layout->addWidget(problem);

    QObject::connect(tree, &QTreeWidget::currentItemChanged, this,
                     [this](QTreeWidgetItem* item) { OnCurrentChanged(item); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    QObject::connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void FieldDetailsWindow::ShowField(const ProtocolDef& def, const ParsedMessage& message,
                                   int fieldNumber) {
    number = fieldNumber;
    const QSignalBlocker quiet(tree);
    tree->clear();
    problem->clear();
    problem->hide();
    const ParsedField* field = message.Find(number);
    const FldDef& fld = def.fields[number];
    if (field == nullptr) {
        heading->setText(QStringLiteral("Field %1 is not in the message.").arg(number));
        dump->clear();
        dumpCount = 0;
        return;
    }
    heading->setText(QStringLiteral("Field %1, %2: %3")
                         .arg(number)
                         .arg(QString::fromLatin1(FieldTypeNames[static_cast<int>(fld.type)]),
                              FromModelText(fld.description)));
    const int available = static_cast<int>(message.units.size());
    dumpFirst = std::clamp(field->offset, 0, available);
    dumpCount = std::clamp(field->consumed, 0, available - dumpFirst);
    prefixUnits = std::min<int>(fld.sizeLen, dumpCount);
    dump->setPlainText(DumpText(message.units.data() + dumpFirst, dumpCount, dumpFirst));
    FillTree(InspectParsed(def, *field, false), *field, prefixUnits);
    tree->expandAll();
    for (int column = kTag; column < kValue; ++column)
        tree->resizeColumnToContents(column);
    Highlight(0, 0);
}

void FieldDetailsWindow::FillTree(const FieldInspection& inspection, const ParsedField& field,
                                  int prefix) {
    const UnitSpan data{field.offset + prefix, field.consumed - prefix};
    if (inspection.tlvTried && inspection.tlvError.empty()) {
        std::vector<QTreeWidgetItem*> items;
        for (const InspectedTag& tag : inspection.tags) {
            QTreeWidgetItem* parent = tag.parent >= 0 ? items[tag.parent] : nullptr;
            QTreeWidgetItem* item =
                AddRow(tree, parent,
                       {QString::fromStdString(tag.tagHex), QString::fromUtf8(tag.name),
                        QString::number(tag.length),
                        tag.constructed ? QString() : QString::fromStdString(tag.hex)},
                       tag.units);
            items.push_back(item);
            for (const char* bit : tag.bits)
                AddRow(tree, item, {QString(), QString::fromUtf8(bit)}, tag.valueUnits);
            if (tag.hasLuhn)
                AddRow(tree, item,
                       {QString(), QStringLiteral("Luhn check"), QString(), LuhnText(tag.luhn)},
                       tag.valueUnits);
            if (tag.track.track != 0) AddTrackRows(tree, item, tag.track, tag.valueUnits);
        }
        return;
    }
    if (inspection.trackTried && inspection.trackError.empty()) {
        AddTrackRows(tree, nullptr, inspection.track, data);
        return;
    }
    QTreeWidgetItem* row = AddRow(tree, nullptr,
                                  {QString(), QStringLiteral("Value"),
                                   QString::number(field.value.size()), Raw(inspection.value)},
                                  data);
    if (inspection.hasLuhn)
        AddRow(tree, row,
               {QString(), QStringLiteral("Luhn check"), QString(), LuhnText(inspection.luhn)},
               data);
    const std::string& reason = inspection.tlvTried ? inspection.tlvError : inspection.trackError;
    if (reason.empty()) return;
    problem->setText((inspection.tlvTried ? QStringLiteral("Not read as data objects: ")
                                          : QStringLiteral("Not read as track data: ")) +
                     QString::fromStdString(reason));
    problem->show();
}

void FieldDetailsWindow::OnCurrentChanged(QTreeWidgetItem* item) {
    if (item == nullptr) {
        Highlight(0, 0);
        return;
    }
    const int start = item->data(kTag, kStartRole).toInt();
    const int count = item->data(kTag, kCountRole).toInt();
    Highlight(start - dumpFirst, count);
    if (picked) picked(start, count);
}

// The length prefix stays shaded throughout; the picked row's units are shown as selected.
void FieldDetailsWindow::Highlight(int start, int count) {
    QTextCharFormat shade;
    shade.setBackground(palette().alternateBase());
    shade.setForeground(palette().placeholderText());
    QList<QTextEdit::ExtraSelection> marks = Marks(dump, 0, prefixUnits, shade);
    QTextCharFormat chosen;
    chosen.setBackground(palette().highlight());
    chosen.setForeground(palette().highlightedText());
    const int from = std::clamp(start, 0, dumpCount);
    marks += Marks(dump, from, std::clamp(count, 0, dumpCount - from), chosen);
    dump->setExtraSelections(marks);
    if (count > 0) {
        QTextCursor cursor(dump->document()->findBlockByNumber(from / kPerLine));
        dump->setTextCursor(cursor);
        dump->ensureCursorVisible();
    }
}

void FieldDetailsWindow::Present() {
    FitToScreen();
    show();
    raise();
    activateWindow();
}

// Opens once at a size that shows a full dump line and a few tree rows, inside the screen's free
// area and centred on the owner; later the user's size and place are kept, pulled back onto the
// screen when they no longer fit.
void FieldDetailsWindow::FitToScreen() {
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QSize frame(8, 8 + 2 * fontMetrics().height());
    const QSize room = area.size() - frame;
    const QFontMetrics mono(dump->font());
    const QSize wanted(mono.horizontalAdvance(QLatin1Char('0')) * (kLineWidth + 6),
                       fontMetrics().height() * 30);
    setMinimumSize(QSize(240, 200).boundedTo(room));
    QRect place = fitted ? geometry() : QRect(QPoint(), wanted);
    place.setSize(place.size().boundedTo(room));
    if (!fitted && owner != nullptr) place.moveCenter(owner->geometry().center());
    place.moveLeft(
        std::clamp(place.left(), area.left(), area.left() + room.width() - place.width()));
    place.moveTop(std::clamp(place.top(), area.top(), area.top() + room.height() - place.height()));
    setGeometry(place);
    fitted = true;
}
