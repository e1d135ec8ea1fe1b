#include "ui/field_details_window.h"

#include <algorithm>
#include <utility>

#include <QBrush>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/hex_dump.h"
#include "ui/tool_window.h"
#include "ui/tree_copy.h"
#include "ui/window_text.h"

namespace {

constexpr int kStartRole = Qt::UserRole;
constexpr int kCountRole = Qt::UserRole + 1;

enum Column { kTag, kName, kLength, kValue };

QTreeWidgetItem* AddRow(QTreeWidget* tree, QTreeWidgetItem* parent, const QStringList& cells,
                        UnitSpan units) {
    auto* item =
        parent != nullptr ? new QTreeWidgetItem(parent, cells) : new QTreeWidgetItem(tree, cells);
    item->setData(kTag, kStartRole, units.start);
    item->setData(kTag, kCountRole, units.count);
    item->setTextAlignment(kLength, Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// Values quote message units: escaped as the command line writes them, NULs among them.
QString Raw(const std::string& text) {
    return UnitsText(text);
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

// Each subfield under the one that holds it, named by its path ("48.42.01", "62.9F02"); where
// the reading stopped, a row saying why under the subfield it stopped in.
void AddSubfieldRows(QTreeWidget* tree, const SubfieldReading& reading) {
    std::vector<std::pair<std::string, QTreeWidgetItem*>> levels;
    QTreeWidgetItem* stoppedIn = nullptr;
    for (const SubfieldRow& row : reading.rows) {
        levels.resize(static_cast<std::size_t>(std::max(row.depth - 1, 0)));
        QTreeWidgetItem* parent = levels.empty() ? nullptr : levels.back().second;
        QTreeWidgetItem* item =
            AddRow(tree, parent,
                   {QString::fromStdString(row.id), FromModelText(row.description),
                    QString::number(row.length), Raw(row.value)},
                   {row.offset, row.consumed});
        if (row.id == reading.error.id) stoppedIn = item;
        levels.emplace_back(row.id, item);
    }
    if (!reading.failed) return;
    QTreeWidgetItem* problem = AddRow(
        tree, stoppedIn,
        {stoppedIn != nullptr ? QString() : QString::fromStdString(reading.error.id),
         QStringLiteral("Not read"), QString(), QString::fromStdString(reading.error.reason)},
        {reading.error.offset, 1});
    problem->setForeground(kValue, QBrush(Qt::red));
    problem->setToolTip(kValue, QString::fromStdString(reading.error.reason));
}

}  // namespace

FieldDetailsWindow::FieldDetailsWindow(QWidget* owner, UnitsPicked unitsPicked)
    : QWidget(owner, Qt::Window), picked(std::move(unitsPicked)) {
    setWindowTitle(QStringLiteral("Field details"));
    setObjectName(QStringLiteral("fieldDetails"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    heading = new QLabel(this);
    heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dump = NewHexDumpView(this);
    tree = new QTreeWidget(this);
    tree->setHeaderLabels({QStringLiteral("Tag"), QStringLiteral("Name"), QStringLiteral("Length"),
                           QStringLiteral("Value")});
    tree->setUniformRowHeights(true);
    AddRowCopy(tree);
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
    dump->setPlainText(HexDumpText(message.units.data() + dumpFirst, dumpCount, dumpFirst));
    FillTree(InspectParsed(def, *field, false), *field, prefixUnits);
    tree->expandAll();
    for (int column = kTag; column < kValue; ++column)
        tree->resizeColumnToContents(column);
    Highlight(0, 0);
}

void FieldDetailsWindow::FillTree(const FieldInspection& inspection, const ParsedField& field,
                                  int prefix) {
    const UnitSpan data{field.offset + prefix, field.consumed - prefix};
    const SubfieldReading& reading = inspection.subfields;
    if (reading.tried && reading.failed) {
        problem->setText(QStringLiteral("Subfields not read past %1 (unit %2): %3")
                             .arg(QString::fromStdString(reading.error.id))
                             .arg(reading.error.offset)
                             .arg(QString::fromStdString(reading.error.reason)));
        problem->show();
    }
    if (reading.tried && !reading.rows.empty()) {
        AddSubfieldRows(tree, reading);
        return;
    }
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
    QList<QTextEdit::ExtraSelection> marks = HexDumpMarks(dump, 0, prefixUnits, shade);
    QTextCharFormat chosen;
    chosen.setBackground(palette().highlight());
    chosen.setForeground(palette().highlightedText());
    const int from = std::clamp(start, 0, dumpCount);
    marks += HexDumpMarks(dump, from, std::clamp(count, 0, dumpCount - from), chosen);
    dump->setExtraSelections(marks);
    if (count > 0) {
        QTextCursor cursor(dump->document()->findBlockByNumber(HexDumpLineOf(from)));
        dump->setTextCursor(cursor);
        dump->ensureCursorVisible();
    }
}

// Wide enough for a full dump line, tall enough for a few tree rows.
void FieldDetailsWindow::Present(const QWidget* avoid) {
    const QFontMetrics mono(dump->font());
    const QSize wanted(mono.horizontalAdvance(QLatin1Char('0')) * (HexDumpLineWidth() + 6),
                       fontMetrics().height() * 30);
    PresentToolWindow(*this, wanted, avoid, fitted);
}
