#include "ui/message_editor_window.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTreeView>
#include <QVBoxLayout>

#include "content/field_content.h"
#include "decode/decode_plan.h"
#include "decode/decoder.h"
#include "encode/encoder.h"
#include "model/field_settings.h"
#include "support/auto_buff.h"
#include "ui/hex_dump.h"
#include "ui/tool_window.h"
#include "ui/window_text.h"

namespace {

// The value editor tells each keystroke, so that the value is judged before it is committed.
class TypedValueDelegate : public QStyledItemDelegate {
  public:
    using Typed = std::function<void(const QModelIndex&, const QString&)>;
    TypedValueDelegate(QObject* parent, Typed typed)
        : QStyledItemDelegate(parent), typed(std::move(typed)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const QPersistentModelIndex at(index);
            QObject::connect(line, &QLineEdit::textEdited, line,
                             [this, at](const QString& text) { typed(at, text); });
        }
        return editor;
    }

    // A value the model refused leaves the tree as it was: the words stay in view.
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        QStyledItemDelegate::setModelData(editor, model, index);
        if (refused) refused();
    }
    void SetRefused(std::function<void()> told) { refused = std::move(told); }

  private:
    Typed typed;
    std::function<void()> refused;
};

// A text dialect writes its MTI, bitmap and prefixes as characters: its messages go to the
// Parser as text when every unit is a printable character.
bool TextDialect(const ProtocolDef& def) {
    return def.mtiEnc == Encoding::CHAR && def.bmpEnc != Encoding::NONE &&
           def.chrEnc == Encoding::ASCII;
}

bool Printable(const std::vector<std::uint8_t>& units) {
    return std::all_of(units.begin(), units.end(),
                       [](std::uint8_t u) { return u >= 0x20 && u < 0x7F; });
}

QString HexText(const std::vector<std::uint8_t>& units) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(units.data()),
                                          static_cast<qsizetype>(units.size()))
                                   .toHex()
                                   .toUpper());
}

QString LastId(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    return QString::fromStdString(dot == std::string::npos ? path : path.substr(dot + 1));
}

// A parsed field's value in the form the encoder takes as shown.
QString ShownValue(const ProtocolDef& def, const ParsedField& field,
                   const FieldInspection& inspection) {
    if (NumberHeldInBinary(def, field.number)) {
        std::string digits;
        if (NumberDigits(def, field.number, field.value, digits))
            return QString::fromLatin1(digits.c_str());
    }
    return FromRawBytes(inspection.value.data(), static_cast<int>(inspection.value.size()));
}

// A structure that begins with a head keeps it in its value only: the reader gives no row for
// it, and the encoder takes it as the item "head".
void AddHead(MessageTreeModel& model, const QModelIndex& under, const SubfieldNode* node,
             const std::string& shown, bool binary) {
    if (node == nullptr || node->structure.head < 1) return;
    const auto units = static_cast<std::size_t>(node->structure.head) * (binary ? 2 : 1);
    const std::string head = shown.substr(0, std::min(units, shown.size()));
    model.Item(model.AddChild(under, QStringLiteral("head"), false))->value =
        FromRawBytes(head.data(), static_cast<int>(head.size()));
}

// The message after the definition's header decoded, as the Parser page decodes it: the
// header's units are no MTI, and each field's offset counts from the message's first unit.
void DecodeAfterHeader(const std::vector<std::uint8_t>& units, std::size_t header,
                       const ProtocolDef& def, const FieldConsumer& consumer,
                       MessageHeader* read = nullptr) {
    if (units.size() <= header) return;
    const int size = static_cast<int>(units.size() - header);
    AutoBuff body;
    if (!body.Reserve(size + 1, false)) return;
    std::memcpy(body.Data(), units.data() + header, static_cast<std::size_t>(size));
    body.SetLength(size);
    body.Terminate();
    AutoBuff verdict;
    DecodeMessage(
        body, def,
        [&consumer, header](const DecodedField& field) {
            DecodedField shifted = field;
            shifted.offset = static_cast<std::int16_t>(field.offset + static_cast<int>(header));
            return consumer(shifted);
        },
        verdict, read);
}

}  // namespace

MessageEditorWindow::MessageEditorWindow(QWidget* owner, const ProtocolDef& definition,
                                         UseInParser useInParser)
    : QWidget(owner, Qt::Window), def(definition), use(std::move(useInParser)), model(definition) {
    setWindowTitle(QStringLiteral("Message editor"));
    setObjectName(QStringLiteral("messageEditor"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    heading = new QLabel(this);
    fieldChoice = new QComboBox(this);
    fieldChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* addField = new QPushButton(QStringLiteral("&Add field"), this);
    auto* addItem = new QPushButton(QStringLiteral("Add &subfield\u2026"), this);
    auto* remove = new QPushButton(QStringLiteral("&Remove"), this);
    auto* tools = new QHBoxLayout;
    tools->addWidget(fieldChoice, 1);
    tools->addWidget(addField);
    tools->addWidget(addItem);
    tools->addWidget(remove);

    tree = new QTreeView(this);
    tree->setModel(&model);
    tree->setUniformRowHeights(true);
    tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    auto* delegate =
        new TypedValueDelegate(tree, [this](const QModelIndex& at, const QString& text) {
            const MessageItem* item = model.Item(at);
            status->setText(item != nullptr ? CheckValue(*item, text) : QString());
        });
    delegate->SetRefused([this] {
        if (!model.LastRefusal().isEmpty()) status->setText(model.LastRefusal());
    });
    tree->setItemDelegate(delegate);
    // Values take the room; a check's words are short, and whole in the tooltip.
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(MessageTreeModel::kValue, QHeaderView::Stretch);
    tree->header()->setSectionResizeMode(MessageTreeModel::kCheck, QHeaderView::ResizeToContents);

    hexView = NewHexDumpView(this);
    textView = new QPlainTextEdit(this);
    textView->setReadOnly(true);
    textView->setFont(hexView->font());
    textView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    textView->hide();
    auto* encodedPane = new QWidget(this);
    auto* encodedLayout = new QVBoxLayout(encodedPane);
    encodedLayout->setContentsMargins(0, 0, 0, 0);
    encodedLayout->addWidget(hexView, 2);
    encodedLayout->addWidget(textView, 1);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(tree);
    split->addWidget(encodedPane);
    split->setChildrenCollapsible(false);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    status = new QLabel(this);
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* copyValue = new QPushButton(QStringLiteral("Copy &value"), this);
    copyButton = new QPushButton(QStringLiteral("&Copy"), this);
    copyButton->setToolTip(QStringLiteral("The message's hexadecimal digits, unmasked"));
    useButton = new QPushButton(QStringLiteral("&Use in Parser"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copyValue);
    buttons->addStretch(1);
    buttons->addWidget(copyButton);
    buttons->addWidget(useButton);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(tools);
    layout->addWidget(split, 1);
    layout->addWidget(status);
    layout->addLayout(buttons);

    QObject::connect(addField, &QPushButton::clicked, this, [this] { AddChosenField(); });
    QObject::connect(addItem, &QPushButton::clicked, this, [this] { AddItemUnder(); });
    QObject::connect(remove, &QPushButton::clicked, this, [this] { RemoveCurrent(); });
    QObject::connect(copyValue, &QPushButton::clicked, this, [this] { CopyValue(); });
    QObject::connect(copyButton, &QPushButton::clicked, this, [this] { CopyHex(); });
    QObject::connect(useButton, &QPushButton::clicked, this, [this] { SendToParser(); });
    QObject::connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* removeKey =
        new QShortcut(QKeySequence::Delete, tree, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    QObject::connect(removeKey, &QShortcut::activated, this, [this] { RemoveCurrent(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    QObject::connect(escape, &QShortcut::activated, this, &QWidget::close);

    model.SetValueCheck(
        [this](const MessageItem& item, const QString& value) { return CheckValue(item, value); });
    // Every change of the tree is a new message; a message being filled in is one at the end.
    const auto changed = [this] {
        if (!filling) Rebuild();
    };
    QObject::connect(&model, &QAbstractItemModel::dataChanged, this, changed);
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, this, changed);
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, this, changed);
    QObject::connect(&model, &QAbstractItemModel::modelReset, this, changed);
    // The cursor stays on the values, so that typing on a row edits its value.
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    QObject::connect(
        tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            if (current.isValid() && current.column() != MessageTreeModel::kValue) {
                tree->setCurrentIndex(current.siblingAtColumn(MessageTreeModel::kValue));
                return;
            }
            MarkCurrentField();
        });
}

void MessageEditorWindow::StartMessage(const QString& newMti) {
    mti = newMti;
    header.assign(static_cast<std::size_t>(std::max(def.options.header, 0)), 0);
    model.Clear();
    const int slot = def.messages.FindByMti(mti.toLatin1().constData());
    const MsgDef* msg = slot != MsgTable::kNone ? def.messages.At(slot).get() : nullptr;
    const QString title = msg != nullptr && msg->title[0] != '\0'
                              ? QStringLiteral(", ") + FromModelText(msg->title)
                              : QString();
    heading->setText(QStringLiteral("MTI %1%2").arg(mti, title));
}

void MessageEditorWindow::NewMessage(const char* newMti) {
    StartMessage(QString::fromLatin1(newMti));
    const int slot = def.messages.FindByMti(newMti);
    if (slot != MsgTable::kNone) {
        const MsgDef& msg = *def.messages.At(slot);
        for (int n = kFirstDataElement; n <= kLastField; ++n)
            if (TestBit(msg.mandatory, n)) model.Item(model.AddField(n, true))->placeholder = true;
    }
    FillFieldChoice();
    Rebuild();
    tree->setCurrentIndex(model.index(0, MessageTreeModel::kValue));
}

void MessageEditorWindow::EditMessage(const ParsedMessage& message) {
    const auto declared = static_cast<std::size_t>(std::max(def.options.header, 0));
    MessageHeader read;
    DecodeAfterHeader(
        message.units, declared, def, [](const DecodedField&) { return true; }, &read);
    StartMessage(QString::fromLatin1(read.mti));
    filling = true;
    // The header's units go back as they came, before whatever the editor makes of the rest.
    if (declared <= message.units.size())
        header.assign(message.units.begin(), message.units.begin() + declared);
    const int slot = def.messages.FindByMti(read.mti);
    const MsgDef* msg = slot != MsgTable::kNone ? def.messages.At(slot).get() : nullptr;
    for (const ParsedField& field : message.fields) {
        const bool needed = msg != nullptr && TestBit(msg->mandatory, field.number);
        const FieldInspection inspection = InspectParsed(def, field, false);
        if (inspection.tlvTried && inspection.tlvError.empty() && !inspection.tags.empty()) {
            std::vector<QModelIndex> items;
            const QModelIndex top = model.AddField(field.number, needed, true);
            for (const InspectedTag& tag : inspection.tags) {
                const QModelIndex under = tag.parent >= 0 ? items[tag.parent] : top;
                const QModelIndex item =
                    model.AddChild(under, QString::fromStdString(tag.tagHex), tag.constructed);
                if (!tag.constructed) model.Item(item)->value = QString::fromStdString(tag.hex);
                items.push_back(item);
            }
            continue;
        }
        const SubfieldReading& reading = inspection.subfields;
        if (reading.tried && !reading.failed && !reading.rows.empty()) {
            std::vector<QModelIndex> levels{model.AddField(field.number, needed, true)};
            AddHead(model, levels.back(), def.subfields.Field(field.number), inspection.value,
                    ValueIsBinary(def, field.number));
            for (std::size_t i = 0; i < reading.rows.size(); ++i) {
                const SubfieldRow& row = reading.rows[i];
                levels.resize(static_cast<std::size_t>(std::max(row.depth, 1)));
                const bool parentOfOthers = row.end > static_cast<int>(i) + 1;
                const QModelIndex item =
                    model.AddChild(levels.back(), LastId(row.id), parentOfOthers);
                if (parentOfOthers) {
                    AddHead(model, item, row.node, row.value, row.binary);
                } else {
                    model.Item(item)->value =
                        FromRawBytes(row.value.data(), static_cast<int>(row.value.size()));
                }
                levels.push_back(item);
            }
            continue;
        }
        const QModelIndex item = model.AddField(field.number, needed);
        model.Item(item)->value = ShownValue(def, field, inspection);
    }
    filling = false;
    FillFieldChoice();
    Rebuild();
    tree->expandAll();
}

void MessageEditorWindow::Present(const QWidget* avoid) {
    const QFontMetrics mono(hexView->font());
    const QSize wanted(mono.horizontalAdvance(QLatin1Char('0')) * (HexDumpLineWidth() + 30),
                       fontMetrics().height() * 36);
    PresentToolWindow(*this, wanted, avoid, fitted);
    for (int column = MessageTreeModel::kId; column < MessageTreeModel::kValue; ++column)
        tree->resizeColumnToContents(column);
}

bool MessageEditorWindow::Encode(const MessageItem* only, const MessageItem* swapped,
                                 const QString& swappedValue, std::vector<std::uint8_t>& out,
                                 std::string& error) {
    MessageDraft draft;
    draft.SetMti(mti.toStdString());
    draft.SetHeader(header);
    model.FillDraft(draft, only, swapped, swappedValue);
    const DecodePlan plan(def);
    EncodeScratch scratch;
    scratch.plan = &plan;
    out.clear();
    return EncodeMessage(draft, def, EncodeOptions{}, out, error, scratch);
}

// The value is judged with the rest of its field as the encoder would write them: its own
// words say what is wrong. An empty value is never refused: the item is left out, or written
// empty where the encoder takes it so.
QString MessageEditorWindow::CheckValue(const MessageItem& item, const QString& value) {
    if (value.isEmpty()) return {};
    const MessageItem* field = &item;
    while (field->parent != nullptr && !field->id.isEmpty())
        field = field->parent;
    std::vector<std::uint8_t> units;
    std::string error;
    if (Encode(field, &item, value, units, error)) return {};
    return QString::fromStdString(error);
}

void MessageEditorWindow::Rebuild() {
    std::vector<std::uint8_t> units;
    std::string error;
    for (const auto& field : model.Fields()) {
        const bool alone = Encode(field.get(), nullptr, {}, units, error);
        model.SetProblem(field->field, alone ? QString() : QString::fromStdString(error));
    }
    const bool built = Encode(nullptr, nullptr, {}, encoded, error);
    if (!built) encoded.clear();
    readBack.Clear();
    readBack.units = encoded;
    DecodeAfterHeader(encoded, header.size(), def, [this](const DecodedField& f) {
        readBack.Add(f);
        return true;
    });
    const int size = static_cast<int>(encoded.size());
    asText = TextDialect(def) && !encoded.empty() && Printable(encoded);
    hexView->setPlainText(HexDumpText(encoded.data(), size, 0));
    textView->setVisible(asText);
    textView->setPlainText(
        asText ? FromRawBytes(reinterpret_cast<const char*>(encoded.data()), size) : QString());

    QStringList missing;
    for (const auto& field : model.Fields())
        if (field->needed && model.data(model.IndexOf(field.get(), MessageTreeModel::kCheck),
                                        Qt::DisplayRole) == QStringLiteral("needed"))
            missing << QString::number(field->field);
    if (!built) {
        status->setText(QString::fromStdString(error));
    } else if (!missing.isEmpty()) {
        status->setText(
            QStringLiteral("%1 units; still needed: %2 %3")
                .arg(size)
                .arg(missing.size() == 1 ? QStringLiteral("field") : QStringLiteral("fields"),
                     missing.join(QStringLiteral(", "))));
    } else {
        status->setText(QStringLiteral("%1 units").arg(size));
    }
    useButton->setEnabled(built);
    copyButton->setEnabled(built);
    MarkCurrentField();
}

void MessageEditorWindow::MarkCurrentField() {
    const MessageItem* item = model.Item(tree->currentIndex());
    marked = item != nullptr && item->field > 0 ? UnitsOf(*item) : std::pair<int, int>{};
    const auto [start, count] = marked;
    QTextCharFormat chosen;
    chosen.setBackground(palette().highlight());
    chosen.setForeground(palette().highlightedText());
    hexView->setExtraSelections(HexDumpMarks(hexView, start, count, chosen));
    QList<QTextEdit::ExtraSelection> text;
    if (asText && count > 0) {
        QTextEdit::ExtraSelection mark;
        mark.format = chosen;
        mark.cursor = QTextCursor(textView->document());
        mark.cursor.setPosition(start);
        mark.cursor.setPosition(start + count, QTextCursor::KeepAnchor);
        text << mark;
    }
    textView->setExtraSelections(text);
    if (count > 0) {
        QTextCursor cursor(hexView->document()->findBlockByNumber(HexDumpLineOf(start)));
        hexView->setTextCursor(cursor);
        hexView->ensureCursorVisible();
    }
}

// A subfield or data object where the encoded message read back puts it; the whole field when
// the reading does not find it.
std::pair<int, int> MessageEditorWindow::UnitsOf(const MessageItem& item) const {
    const ParsedField* field = readBack.Find(item.field);
    if (field == nullptr) return {};
    const std::pair<int, int> whole{field->offset, field->consumed};
    if (item.id.isEmpty()) return whole;
    const std::string path = item.Path().toStdString();
    const FieldInspection inspection = InspectParsed(def, *field, false);
    for (const SubfieldRow& row : inspection.subfields.rows)
        if (row.id == path) return {row.offset, row.consumed};
    std::vector<std::string> paths;
    for (const InspectedTag& tag : inspection.tags) {
        paths.push_back((tag.parent >= 0 ? paths[static_cast<std::size_t>(tag.parent)]
                                         : std::to_string(item.field)) +
                        '.' + tag.tagHex);
        if (paths.back() == path) return {tag.units.start, tag.units.count};
    }
    return whole;
}

// The message definition's optional fields first, then every other defined field.
void MessageEditorWindow::FillFieldChoice() {
    fieldChoice->clear();
    const int slot = def.messages.FindByMti(mti.toLatin1().constData());
    const MsgDef* msg = slot != MsgTable::kNone ? def.messages.At(slot).get() : nullptr;
    for (const bool optional : {true, false}) {
        for (int n = kFirstDataElement; n <= kLastField; ++n) {
            const bool isOptional = msg != nullptr && TestBit(msg->optional, n);
            if (isOptional != optional || def.fields[n].type == FieldType::U ||
                model.Field(n) != nullptr) {
                continue;
            }
            QString text =
                QStringLiteral("%1  %2").arg(n).arg(FromModelText(def.fields[n].description));
            if (optional) text += QStringLiteral("  (optional)");
            fieldChoice->addItem(text, n);
        }
    }
}

void MessageEditorWindow::AddChosenField() {
    const int n = fieldChoice->currentData().toInt();
    if (n < kFirstDataElement) return;
    const QModelIndex added = model.AddField(n, false);
    FillFieldChoice();
    tree->setCurrentIndex(added.siblingAtColumn(MessageTreeModel::kValue));
    tree->setFocus();
}

// The id comes from the user: a tag for data objects and tagged elements, a number for
// positional and bitmapped ones. A constructed tag holds data objects of its own.
void MessageEditorWindow::AddItemUnder() {
    QModelIndex at = tree->currentIndex().siblingAtColumn(MessageTreeModel::kId);
    MessageItem* item = model.Item(at);
    if (item == nullptr || item->field == 0) return;
    // A primitive item takes its sibling; a field or a structure takes a child.
    if (!item->id.isEmpty() && !item->structured) at = at.parent();
    bool ok = false;
    const QString id =
        QInputDialog::getText(this, QStringLiteral("Add subfield"),
                              QStringLiteral("Subfield id, or data object tag (hex):"),
                              QLineEdit::Normal, QString(), &ok)
            .trimmed()
            .toUpper();
    if (!ok || id.isEmpty()) return;
    const MessageItem* owner = model.Item(at);
    bool isHex = false;
    const unsigned first = id.left(2).toUInt(&isHex, 16);
    const bool constructed =
        ValueIsBinary(def, owner->field) && id.size() % 2 == 0 && isHex && (first & 0x20) != 0;
    const QModelIndex added = model.AddChild(at, id, constructed);
    tree->expand(at);
    tree->setCurrentIndex(added.siblingAtColumn(MessageTreeModel::kValue));
    tree->setFocus();
}

void MessageEditorWindow::RemoveCurrent() {
    const QModelIndex at = tree->currentIndex();
    if (!at.isValid()) return;
    model.Remove(at);
    FillFieldChoice();
}

void MessageEditorWindow::CopyHex() {
    if (!encoded.empty()) QApplication::clipboard()->setText(HexText(encoded));
}

// As the Field details window copies its rows: the value as the tree shows it.
void MessageEditorWindow::CopyValue() {
    const MessageItem* item = model.Item(tree->currentIndex());
    if (item != nullptr && item->field > 0 && !item->structured)
        QApplication::clipboard()->setText(item->value);
}

void MessageEditorWindow::SendToParser() {
    if (encoded.empty() || !use) return;
    if (asText) {
        use(FromRawBytes(reinterpret_cast<const char*>(encoded.data()),
                         static_cast<int>(encoded.size())),
            false);
    } else {
        use(HexText(encoded), true);
    }
}
