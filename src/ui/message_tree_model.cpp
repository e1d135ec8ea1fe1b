#include "ui/message_tree_model.h"

#include <algorithm>

#include <QBrush>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include "content/field_content.h"
#include "content/tag_names.h"
#include "decode/field_with_settings.h"
#include "model/subfields.h"
#include "ui/window_text.h"

namespace {

std::uint32_t TagValue(const QString& id) {
    bool hex = false;
    const std::uint32_t tag = id.toUInt(&hex, 16);
    return hex && id.size() <= 8 ? tag : 0;
}

bool Contains(const MessageItem& item, const MessageItem* inner) {
    if (&item == inner) return true;
    return std::any_of(item.children.begin(), item.children.end(),
                       [inner](const auto& child) { return Contains(*child, inner); });
}

}  // namespace

QString MessageItem::Path() const {
    if (parent == nullptr || id.isEmpty()) return QString::number(field);
    return parent->Path() + QLatin1Char('.') + id;
}

// An empty item the parsed message held or the user added is part of the message: written
// empty where the encoder can, so that editing a message keeps what it had. A data object
// (primitive, or constructed with nothing in it) can be; a field only when variable under the
// dialect's empty fields; a declared subfield is left to its structure, which may not take it.
bool MessageTreeModel::WrittenEmpty(const MessageItem& item) const {
    if (item.placeholder) return false;
    const MessageItem* owner = item.parent;
    if (owner == &root) return def.options.emptyFields && FieldRules(def, item.field).sizeLen > 0;
    // The nearest structure above decides: a constructed data object has none of its own.
    for (; owner != &root; owner = owner->parent) {
        if (owner->parent == &root) return FieldHoldsDataObjects(def, owner->field);
        const SubfieldNode* node = def.subfields.Find(owner->Path().toStdString());
        if (node != nullptr && node->structure.layout != SubfieldLayout::kNone)
            return node->structure.layout == SubfieldLayout::kBerTlv;
    }
    return false;
}

bool MessageTreeModel::Written(const MessageItem& item) const {
    const bool holds = item.structured
                           ? std::any_of(item.children.begin(), item.children.end(),
                                         [this](const auto& child) { return Written(*child); })
                           : !item.value.isEmpty();
    return holds || WrittenEmpty(item);
}

// What goes into the draft: an item written as it is, or the item whose value is being tried.
bool MessageTreeModel::Given(const MessageItem& item, const MessageItem* swapped) const {
    return Written(item) || (swapped != nullptr && Contains(item, swapped));
}

void MessageTreeModel::AddChildren(MessageDraft& draft, std::int32_t node, const MessageItem& item,
                                   const MessageItem* swapped, const QString& swappedValue) const {
    for (const auto& child : item.children) {
        if (!Given(*child, swapped)) continue;
        const std::string id = child->id.toStdString();
        if (child->structured) {
            AddChildren(draft, draft.AddStructuredSubfield(node, id), *child, swapped,
                        swappedValue);
            continue;
        }
        const QString& value = child.get() == swapped ? swappedValue : child->value;
        draft.AddSubfield(node, id, ToRawBytes(value), ValueForm::kShown);
    }
}

MessageTreeModel::MessageTreeModel(const ProtocolDef& definition, QObject* parent)
    : QAbstractItemModel(parent), def(definition) {}

MessageTreeModel::~MessageTreeModel() = default;

void MessageTreeModel::Clear() {
    beginResetModel();
    root.children.clear();
    endResetModel();
}

QModelIndex MessageTreeModel::AddField(int n, bool needed, bool structured) {
    auto& fields = root.children;
    const auto at = std::lower_bound(fields.begin(), fields.end(), n,
                                     [](const auto& item, int k) { return item->field < k; });
    if (at != fields.end() && (*at)->field == n) return IndexOf(at->get());
    const int row = static_cast<int>(at - fields.begin());
    beginInsertRows({}, row, row);
    auto item = std::make_unique<MessageItem>();
    item->field = n;
    item->needed = needed;
    item->structured = structured;
    item->parent = &root;
    MessageItem* added = item.get();
    fields.insert(fields.begin() + row, std::move(item));
    endInsertRows();
    return IndexOf(added);
}

QModelIndex MessageTreeModel::AddChild(const QModelIndex& parentIndex, const QString& id,
                                       bool structured) {
    MessageItem* owner = Item(parentIndex);
    if (owner == nullptr || owner == &root) return {};
    // A field given as a value becomes one given as items: its value goes.
    if (!owner->structured) {
        owner->structured = true;
        owner->value.clear();
        const QModelIndex value = IndexOf(owner, kValue);
        Q_EMIT dataChanged(value, value);
    }
    const int row = static_cast<int>(owner->children.size());
    beginInsertRows(IndexOf(owner), row, row);
    auto item = std::make_unique<MessageItem>();
    item->field = owner->field;
    item->id = id;
    item->structured = structured;
    item->parent = owner;
    MessageItem* added = item.get();
    owner->children.push_back(std::move(item));
    endInsertRows();
    return IndexOf(added);
}

void MessageTreeModel::Remove(const QModelIndex& index) {
    MessageItem* item = Item(index);
    if (item == nullptr || item == &root) return;
    if (item->needed && item->parent == &root) {
        if (!item->children.empty()) {
            beginRemoveRows(index.siblingAtColumn(kId), 0,
                            static_cast<int>(item->children.size()) - 1);
            item->children.clear();
            endRemoveRows();
        }
        item->value.clear();
        item->placeholder = true;
        Q_EMIT dataChanged(IndexOf(item), IndexOf(item, kCheck));
        return;
    }
    MessageItem* owner = item->parent;
    const int row = RowOf(item);
    beginRemoveRows(parent(index), row, row);
    owner->children.erase(owner->children.begin() + row);
    endRemoveRows();
}

bool MessageTreeModel::SetValue(const QModelIndex& index, const QString& value) {
    return setData(index.siblingAtColumn(kValue), value, Qt::EditRole);
}

void MessageTreeModel::SetProblem(int field, const QString& problem) {
    auto* item = const_cast<MessageItem*>(Field(field));
    if (item == nullptr || item->problem == problem) return;
    item->problem = problem;
    const QModelIndex check = IndexOf(item, kCheck);
    Q_EMIT dataChanged(check, check);
}

MessageItem* MessageTreeModel::Item(const QModelIndex& index) const {
    if (!index.isValid()) return const_cast<MessageItem*>(&root);
    return static_cast<MessageItem*>(index.internalPointer());
}

int MessageTreeModel::RowOf(const MessageItem* item) const {
    const auto& siblings = item->parent->children;
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [item](const auto& s) { return s.get() == item; });
    return static_cast<int>(found - siblings.begin());
}

QModelIndex MessageTreeModel::IndexOf(const MessageItem* item, int column) const {
    if (item == nullptr || item == &root) return {};
    return createIndex(RowOf(item), column, const_cast<MessageItem*>(item));
}

const MessageItem* MessageTreeModel::Field(int n) const {
    for (const auto& item : root.children)
        if (item->field == n) return item.get();
    return nullptr;
}

void MessageTreeModel::FillDraft(MessageDraft& draft, const MessageItem* only,
                                 const MessageItem* swapped, const QString& swappedValue) const {
    for (const auto& field : root.children) {
        if (only != nullptr && field.get() != only) continue;
        if (!Given(*field, swapped)) continue;
        // A field whose items are all left out is given as an empty value.
        const bool items = std::any_of(field->children.begin(), field->children.end(),
                                       [&](const auto& child) { return Given(*child, swapped); });
        if (field->structured && items) {
            AddChildren(draft, draft.SetStructuredField(field->field), *field, swapped,
                        swappedValue);
            continue;
        }
        const QString& value = field.get() == swapped ? swappedValue : field->value;
        draft.SetField(field->field, ToRawBytes(value), ValueForm::kShown);
    }
}

QString MessageTreeModel::Description(const MessageItem& item) const {
    if (item.parent == &root) return FromModelText(def.fields[item.field].description);
    if (const SubfieldNode* node = def.subfields.Find(item.Path().toStdString());
        node != nullptr && node->def.description[0] != '\0') {
        return FromModelText(node->def.description.c_str());
    }
    const std::uint32_t tag = TagValue(item.id);
    const char* name = tag != 0 ? TagName(tag) : "";
    return QString::fromUtf8(name != nullptr ? name : "");
}

QModelIndex MessageTreeModel::index(int row, int column, const QModelIndex& parentIndex) const {
    const MessageItem* owner = Item(parentIndex);
    if (owner == nullptr || row < 0 || row >= static_cast<int>(owner->children.size()) ||
        column < 0 || column >= kColumnCount) {
        return {};
    }
    return createIndex(row, column, owner->children[static_cast<std::size_t>(row)].get());
}

QModelIndex MessageTreeModel::parent(const QModelIndex& index) const {
    const MessageItem* item = Item(index);
    if (item == nullptr || item == &root || item->parent == &root) return {};
    return IndexOf(item->parent);
}

int MessageTreeModel::rowCount(const QModelIndex& parentIndex) const {
    if (parentIndex.column() > 0) return 0;
    const MessageItem* owner = Item(parentIndex);
    return owner != nullptr ? static_cast<int>(owner->children.size()) : 0;
}

int MessageTreeModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

QVariant MessageTreeModel::data(const QModelIndex& index, int role) const {
    const MessageItem* item = Item(index);
    if (item == nullptr || item == &root) return {};
    const bool top = item->parent == &root;
    const bool missing = top && item->needed && !Written(*item);
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
            case kId:
                return top ? QString::number(item->field) : item->id;
            case kDescription:
                return Description(*item);
            case kValue:
                return item->structured && role == Qt::DisplayRole ? QString() : item->value;
            case kCheck:
                if (!top) return {};
                if (!item->problem.isEmpty()) return item->problem;
                return missing ? QStringLiteral("needed") : QString();
            default:
                return {};
        }
    }
    if (role == Qt::ToolTipRole && index.column() == kCheck && top && !item->problem.isEmpty())
        return item->problem;
    if (role == Qt::FontRole && index.column() == kId && item->needed) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::ForegroundRole && index.column() == kCheck &&
        (missing || !item->problem.isEmpty())) {
        return QBrush(Qt::red);
    }
    return {};
}

bool MessageTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    MessageItem* item = Item(index);
    if (role != Qt::EditRole || index.column() != kValue || item == nullptr || item == &root ||
        item->structured) {
        return false;
    }
    const QString text = value.toString();
    refusal = valueCheck ? valueCheck(*item, text) : QString();
    if (!refusal.isEmpty()) return false;
    if (item->value == text) return true;
    item->value = text;
    Q_EMIT dataChanged(index.siblingAtColumn(kId), index.siblingAtColumn(kCheck));
    return true;
}

Qt::ItemFlags MessageTreeModel::flags(const QModelIndex& index) const {
    const MessageItem* item = Item(index);
    if (item == nullptr || item == &root) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kValue && !item->structured) flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant MessageTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kNames[] = {"Field", "Description", "Value", "Check"};
    return section >= 0 && section < kColumnCount ? QString::fromLatin1(kNames[section])
                                                  : QVariant();
}
