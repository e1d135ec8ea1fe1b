#include "ui/subfield_tree_model.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kMaxSize = 9999;

const char* const kHeaders[] = {"Id", "Type", "Size", "Prefix", "Description", "Marks"};

// The node whose children include child, searched from top.
SubfieldNode* HolderOf(SubfieldNode& top, const SubfieldNode* child) {
    for (SubfieldNode& c : top.children) {
        if (&c == child) return &top;
        if (SubfieldNode* found = HolderOf(c, child)) return found;
    }
    return nullptr;
}

int RowOf(const SubfieldNode& holder, const SubfieldNode* child) {
    for (std::size_t i = 0; i < holder.children.size(); ++i) {
        if (&holder.children[i] == child) return static_cast<int>(i);
    }
    return -1;
}

bool NamedByUser(SubfieldLayout layout) {
    return layout == SubfieldLayout::kTagged || layout == SubfieldLayout::kBerTlv;
}

QString Marks(const SubfieldNode& node) {
    QStringList marks;
    switch (node.def.holds) {
        case SubfieldHolds::kCardNumber:
            marks << QStringLiteral("card number");
            break;
        case SubfieldHolds::kTrackData:
            marks << QStringLiteral("track data");
            break;
        case SubfieldHolds::kSecret:
            marks << QStringLiteral("secret");
            break;
        default:
            break;
    }
    if (node.def.rest) marks << QStringLiteral("rest of value");
    if (node.def.settings.Any()) marks << QStringLiteral("own encodings");
    if (node.structure.layout != SubfieldLayout::kNone) marks << QStringLiteral("subfields");
    return marks.join(QStringLiteral(", "));
}

}  // namespace

SubfieldTreeModel::SubfieldTreeModel(ProtocolDef& d, int n, QObject* parent)
    : QAbstractItemModel(parent), def(d), field(n) {}

SubfieldNode* SubfieldTreeModel::Root() const {
    return const_cast<SubfieldNode*>(def.subfields.Field(field));
}

SubfieldNode* SubfieldTreeModel::Holder(const QModelIndex& parent) const {
    return parent.isValid() ? Node(parent) : Root();
}

SubfieldNode* SubfieldTreeModel::Node(const QModelIndex& index) const {
    if (!index.isValid()) return nullptr;
    auto* holder = static_cast<SubfieldNode*>(index.internalPointer());
    if (holder == nullptr || index.row() >= static_cast<int>(holder->children.size()))
        return nullptr;
    return &holder->children[static_cast<std::size_t>(index.row())];
}

QModelIndex SubfieldTreeModel::index(int row, int column, const QModelIndex& parent) const {
    SubfieldNode* holder = Holder(parent);
    if (holder == nullptr || row < 0 || row >= static_cast<int>(holder->children.size()) ||
        column < 0 || column >= kColumnCount)
        return {};
    return createIndex(row, column, holder);
}

QModelIndex SubfieldTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    auto* holder = static_cast<SubfieldNode*>(child.internalPointer());
    SubfieldNode* root = Root();
    if (holder == nullptr || holder == root || root == nullptr) return {};
    SubfieldNode* above = HolderOf(*root, holder);
    if (above == nullptr) return {};
    return createIndex(RowOf(*above, holder), 0, above);
}

int SubfieldTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    const SubfieldNode* holder = Holder(parent);
    return holder == nullptr ? 0 : static_cast<int>(holder->children.size());
}

int SubfieldTreeModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

std::string SubfieldTreeModel::Path(const QModelIndex& index) const {
    if (!index.isValid()) return std::to_string(field);
    const SubfieldNode* node = Node(index);
    return Path(this->parent(index)) + "." + (node != nullptr ? node->id : std::string());
}

const SubfieldStructure& SubfieldTreeModel::ParentStructure(const QModelIndex& index) const {
    static const SubfieldStructure none;
    const SubfieldNode* holder =
        index.isValid() ? static_cast<SubfieldNode*>(index.internalPointer()) : nullptr;
    return holder != nullptr ? holder->structure : none;
}

bool SubfieldTreeModel::InBinaryValue(const QModelIndex& index) const {
    const QModelIndex above = parent(index);
    if (!above.isValid()) return def.IsBinaryField(field);
    const SubfieldNode* node = Node(above);
    return node != nullptr && SubfieldValueIsBinary(node->def);
}

QVariant SubfieldTreeModel::data(const QModelIndex& index, int role) const {
    const SubfieldNode* node = Node(index);
    if (node == nullptr) return {};
    if (role == Qt::ToolTipRole) return QString::fromStdString(Path(index));
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    switch (index.column()) {
        case kId:
            return QString::fromStdString(node->id);
        case kType:
            return QString::fromLatin1(NameOf(node->def.type));
        // As text, so that the editor is a box that takes any typing and says what is wrong.
        case kSize:
            return QString::number(node->def.size);
        case kPrefix:
            return QString::number(node->def.sizeLen);
        case kDescription:
            return QString::fromStdString(node->def.description);
        case kMarks:
            return Marks(*node);
        default:
            return {};
    }
}

QVariant SubfieldTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return {};
    return QString::fromLatin1(kHeaders[section]);
}

Qt::ItemFlags SubfieldTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int c = index.column();
    const bool idEditable = c == kId && NamedByUser(ParentStructure(index).layout);
    if (idEditable || c == kType || c == kSize || c == kPrefix || c == kDescription)
        f |= Qt::ItemIsEditable;
    return f;
}

QString SubfieldTreeModel::Problem(const QModelIndex& index, const QString& text) const {
    const SubfieldNode* node = Node(index);
    if (node == nullptr) return QStringLiteral("no subfield");
    const QString name = QStringLiteral("subfield %1").arg(QString::fromStdString(Path(index)));
    const QString t = text.trimmed();
    switch (index.column()) {
        case kId: {
            if (t.isEmpty()) return name + QStringLiteral(": the id is empty");
            const std::string path = Path(parent(index)) + "." + t.toStdString();
            SubfieldPath split;
            if (!SplitPath(path, split))
                return name + QStringLiteral(": \"%1\" is not an id of a path").arg(t);
            const SubfieldNode* holder = static_cast<SubfieldNode*>(index.internalPointer());
            for (const SubfieldNode& sibling : holder->children) {
                if (&sibling != node && sibling.id == t.toStdString())
                    return name + QStringLiteral(": %1 is taken by another subfield").arg(t);
            }
            return {};
        }
        case kType:
            if (FieldTypeFromName(t.toLatin1().constData()) == FieldType::U)
                return name + QStringLiteral(": \"%1\" is none of N, A, AN, ANS, AS, B, Z").arg(t);
            return {};
        case kSize:
        case kPrefix: {
            bool number = false;
            const int value = t.toInt(&number);
            const bool size = index.column() == kSize;
            const QString what = size ? QStringLiteral("size") : QStringLiteral("prefix units");
            const int least = size ? 1 : 0;
            const int most = size ? kMaxSize : kMaxPrefixUnits;
            if (!number)
                return name + QStringLiteral(": %1 \"%2\" is not a whole number").arg(what, t);
            if (value < least || value > most)
                return name + QStringLiteral(": %1 %2 is not from %3 to %4")
                                  .arg(what)
                                  .arg(value)
                                  .arg(least)
                                  .arg(most);
            if (!size && value > 0 && NamedByUser(ParentStructure(index).layout))
                return name + QStringLiteral(
                                  ": a tagged element's length comes from the element; "
                                  "prefix units must be 0");
            return {};
        }
        case kDescription:
            if (t.toUtf8().size() > kTextMax)
                return name +
                       QStringLiteral(": the description is longer than %1 bytes").arg(kTextMax);
            return {};
        default:
            return QStringLiteral("not editable");
    }
}

bool SubfieldTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    SubfieldNode* node = Node(index);
    if (role != Qt::EditRole || node == nullptr) return false;
    const QString text = value.toString();
    const QString problem = Problem(index, text);
    if (onRefused)
        onRefused(problem.isEmpty() ? QString() : problem + QStringLiteral("; not taken"));
    if (!problem.isEmpty()) return false;
    const QString t = text.trimmed();
    switch (index.column()) {
        case kId: {
            if (node->id == t.toStdString()) return true;
            // Siblings are kept in id order: the tree's shape changes.
            beginResetModel();
            node->id = t.toStdString();
            auto* holder = static_cast<SubfieldNode*>(index.internalPointer());
            std::stable_sort(
                holder->children.begin(), holder->children.end(),
                [](const SubfieldNode& a, const SubfieldNode& b) { return IdLess(a.id, b.id); });
            endResetModel();
            Changed();
            return true;
        }
        case kType:
            node->def.type = FieldTypeFromName(t.toLatin1().constData());
            break;
        case kSize:
            node->def.size = static_cast<std::int16_t>(t.toInt());
            break;
        case kPrefix:
            node->def.sizeLen = static_cast<std::int16_t>(t.toInt());
            break;
        case kDescription:
            node->def.description = DefinitionText(t.toUtf8().constData());
            break;
        default:
            return false;
    }
    node->defined = true;
    Q_EMIT dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(kColumnCount - 1));
    Changed();
    return true;
}

void SubfieldTreeModel::Changed() {
    if (onChanged) onChanged();
}

void SubfieldTreeModel::Reload() {
    beginResetModel();
    endResetModel();
}

std::string SubfieldTreeModel::NewId(const SubfieldNode& holder) const {
    const SubfieldStructure& s = holder.structure;
    const auto taken = [&](const std::string& id) { return holder.Child(id) != nullptr; };
    if (s.layout == SubfieldLayout::kBerTlv) {
        // Proprietary tags of the issuer's range, free ones first.
        for (int t = 0xDF01; t <= 0xDFFF; ++t) {
            char id[8];
            std::snprintf(id, sizeof id, "%04X", t);
            if (!taken(id)) return id;
        }
        return {};
    }
    int next = 1;
    for (const SubfieldNode& c : holder.children)
        next = std::max(next, IdNumber(c.id) + 1);
    if (s.layout != SubfieldLayout::kTagged) return std::to_string(next);
    // A tag of the structure's width: digits, or hex digits for a binary tag.
    const bool hex = s.tag.encoding == Encoding::BIGEND;
    const int width = s.tag.encoding == Encoding::CHAR ? s.tag.units : 2 * s.tag.units;
    for (int t = next; t < 1000000; ++t) {
        char id[16];
        std::snprintf(id, sizeof id, hex ? "%0*X" : "%0*d", std::max(1, width), t);
        if (static_cast<int>(std::string(id).size()) == std::max(1, width) && !taken(id)) return id;
    }
    return std::to_string(next);
}

QModelIndex SubfieldTreeModel::AddChild(const QModelIndex& parent) {
    std::string holderPath = Path(parent);
    SubfieldNode* holder = Holder(parent);
    if (holder == nullptr && !parent.isValid()) {
        SubfieldPath top;
        if (!SplitPath(holderPath, top)) return {};
        holder = &def.subfields.Make(top);
    }
    if (holder == nullptr) return {};
    const std::string id = NewId(*holder);
    if (id.empty()) return {};
    beginResetModel();
    SubfieldNode child;
    child.id = id;
    child.defined = true;
    const bool binary =
        parent.isValid() ? SubfieldValueIsBinary(holder->def) : def.IsBinaryField(field);
    child.def.type = binary ? FieldType::B : FieldType::ANS;
    child.def.size = 1;
    child.def.description = "New subfield";
    const auto at = std::upper_bound(
        holder->children.begin(), holder->children.end(), child,
        [](const SubfieldNode& a, const SubfieldNode& b) { return IdLess(a.id, b.id); });
    holder->children.insert(at, std::move(child));
    endResetModel();
    Changed();
    return IndexOfPath(holderPath + "." + id);
}

QModelIndex SubfieldTreeModel::Remove(const QModelIndex& index) {
    if (Node(index) == nullptr) return {};
    const QModelIndex above = parent(index);
    const std::string abovePath = Path(above);
    const int row = index.row();
    beginResetModel();
    auto* holder = static_cast<SubfieldNode*>(index.internalPointer());
    holder->children.erase(holder->children.begin() + row);
    endResetModel();
    Changed();
    const QModelIndex holderIndex = IndexOfPath(abovePath);
    const int left = rowCount(holderIndex);
    if (left == 0) return holderIndex;
    return this->index(std::min(row, left - 1), 0, holderIndex);
}

bool SubfieldTreeModel::CanMove(const QModelIndex& index, int step) const {
    if (Node(index) == nullptr) return false;
    // Only where the order is the data's: a tagged element or data object is found by its tag.
    const SubfieldLayout layout = ParentStructure(index).layout;
    if (layout != SubfieldLayout::kPositional && layout != SubfieldLayout::kBitmap) return false;
    const int to = index.row() + step;
    return to >= 0 && to < rowCount(parent(index));
}

QModelIndex SubfieldTreeModel::Move(const QModelIndex& index, int step) {
    if (!CanMove(index, step)) return index;
    // The position is the id: the two subfields trade their definitions, the ids stay.
    auto* holder = static_cast<SubfieldNode*>(index.internalPointer());
    const QModelIndex above = parent(index);
    const std::string abovePath = Path(above);
    const int to = index.row() + step;
    beginResetModel();
    SubfieldNode& a = holder->children[static_cast<std::size_t>(index.row())];
    SubfieldNode& b = holder->children[static_cast<std::size_t>(to)];
    std::swap(a.def, b.def);
    std::swap(a.structure, b.structure);
    std::swap(a.children, b.children);
    std::swap(a.defined, b.defined);
    endResetModel();
    Changed();
    return this->index(to, 0, IndexOfPath(abovePath));
}

QModelIndex SubfieldTreeModel::IndexOfPath(const std::string& path) const {
    SubfieldPath split;
    if (!SplitPath(path, split) || split.field != field) return {};
    QModelIndex at;
    for (std::string_view id : split.ids) {
        const SubfieldNode* holder = Holder(at);
        if (holder == nullptr) return {};
        const SubfieldNode* child = holder->Child(id);
        if (child == nullptr) return {};
        at = index(RowOf(*holder, child), 0, at);
    }
    return at;
}
