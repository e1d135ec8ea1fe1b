#include "ui/field_definition_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/encoding_overrides.h"
#include "ui/field_findings.h"
#include "ui/structure_editor.h"
#include "ui/subfield_tree_model.h"

namespace {

constexpr std::pair<SubfieldHolds, const char*> kHolds[] = {
    {SubfieldHolds::kNothing, "Nothing to mask"},
    {SubfieldHolds::kCardNumber, "Card number (PAN)"},
    {SubfieldHolds::kTrackData, "Track data"},
    {SubfieldHolds::kSecret, "Secret data"},
};

// The tree's editors: a list of the types, boxes checked as they are typed with the model's
// own rules; the value goes in only when the editor closes (Return or leaving it).
class SubfieldDelegate : public QStyledItemDelegate {
  public:
    SubfieldDelegate(SubfieldTreeModel& m, std::function<void(const QString&)> say, QObject* parent)
        : QStyledItemDelegate(parent), model(m), tell(std::move(say)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() == SubfieldTreeModel::kType) {
            auto* combo = new QComboBox(parent);
            for (int t = static_cast<int>(FieldType::N); t < kFieldTypeCount; ++t)
                combo->addItem(QString::fromLatin1(FieldTypeNames[t]));
            return combo;
        }
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            const QPersistentModelIndex at(index);
            connect(edit, &QLineEdit::textEdited, edit,
                    [this, at](const QString& text) { tell(model.Problem(at, text)); });
        }
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentText(index.data(Qt::EditRole).toString());
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* m,
                      const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            m->setData(index, combo->currentText(), Qt::EditRole);
            return;
        }
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            m->setData(index, edit->text(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, m, index);
    }

  private:
    SubfieldTreeModel& model;
    std::function<void(const QString&)> tell;
};

QString FieldTitle(const ProtocolDef& def, int n) {
    const FldDef& f = def.fields[n];
    QString prefix = f.sizeLen > 0 ? QStringLiteral(", prefix of %1 units").arg(f.sizeLen)
                                   : QStringLiteral(", fixed");
    return QStringLiteral("Field %1: %2 \u2014 %3 %4%5")
        .arg(n)
        .arg(QString::fromUtf8(f.description), QString::fromLatin1(NameOf(f.type)))
        .arg(f.size)
        .arg(prefix);
}

}  // namespace

FieldDefinitionWindow::FieldDefinitionWindow(ProtocolDef& d, int n, QWidget* parent)
    : QDialog(parent), def(d), field(n) {
    setWindowTitle(QStringLiteral("Field definition \u2014 field %1").arg(n));
    setObjectName(QStringLiteral("FieldDefinitionWindow"));
    auto* outer = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    title = new QLabel(FieldTitle(def, field), content);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    auto* sides = new QHBoxLayout;
    sides->addWidget(BuildFieldSide(), 0);
    sides->addWidget(BuildSubfieldSide(), 1);
    layout->addLayout(sides, 1);

    message = new QLabel(content);
    message->setStyleSheet(QStringLiteral("color: #b00020"));
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(message);
    auto* lintBox = new QGroupBox(QStringLiteral("What lint says of this field"), content);
    auto* lintLayout = new QVBoxLayout(lintBox);
    findings = new QListWidget(lintBox);
    findings->setMaximumHeight(findings->fontMetrics().height() * 5);
    lintLayout->addWidget(findings);
    layout->addWidget(lintBox);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);

    fieldEncodings->Edit([this] { return &def.settings[field]; }, def.fields[field].type,
                         def.fields[field].sizeLen, "field " + std::to_string(field));
    fieldStructure->Edit(
        [this](bool make) -> SubfieldStructure* {
            if (make) {
                SubfieldPath top;
                if (!SplitPath(std::to_string(field), top)) return nullptr;
                return &def.subfields.Make(top).structure;
            }
            static SubfieldStructure none;
            none = {};
            const SubfieldNode* node = def.subfields.Field(field);
            return node != nullptr ? const_cast<SubfieldStructure*>(&node->structure) : &none;
        },
        def.IsBinaryField(field));
    ShowSelected();
    ShowFindings();
    tree->expandAll();
    // As large as it needs within the screen; the content scrolls where the screen is smaller.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QSize want = (content->sizeHint() + QSize(bar, buttons->sizeHint().height()) +
                  QSize(layout->contentsMargins().left() * 4, layout->contentsMargins().top() * 4))
                     .expandedTo(QSize(1000, 640));
    if (const QScreen* screen = parent != nullptr ? parent->screen() : this->screen())
        want = want.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
    resize(want);
}

QWidget* FieldDefinitionWindow::BuildFieldSide() {
    auto* side = new QWidget(this);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    auto* encodingsBox = new QGroupBox(QStringLiteral("Field encodings"), side);
    auto* encodingsLayout = new QVBoxLayout(encodingsBox);
    fieldEncodings = new EncodingOverrides(def, encodingsBox);
    encodingsLayout->addWidget(fieldEncodings);
    column->addWidget(encodingsBox);
    auto* structureBox = new QGroupBox(QStringLiteral("Field structure"), side);
    auto* structureLayout = new QVBoxLayout(structureBox);
    fieldStructure = new StructureEditor(structureBox);
    structureLayout->addWidget(fieldStructure);
    column->addWidget(structureBox);
    column->addStretch(1);

    fieldEncodings->OnMessage([this](const QString& text) { ShowMessage(text); });
    fieldEncodings->OnChanged([this] { Changed(); });
    fieldStructure->OnChanged([this] {
        // A field laid out in subfields carries the subfield flag, as its line must say.
        const SubfieldNode* node = def.subfields.Field(field);
        if (node != nullptr && node->structure.layout != SubfieldLayout::kNone)
            def.fields[field].subfield = true;
        model->Reload();
        tree->expandAll();
        ShowSelected();
        Changed();
    });
    return side;
}

QWidget* FieldDefinitionWindow::BuildSubfieldSide() {
    auto* box = new QGroupBox(QStringLiteral("Subfields"), this);
    auto* column = new QVBoxLayout(box);
    model = new SubfieldTreeModel(def, field, this);
    tree = new QTreeView(box);
    tree->setModel(model);
    tree->setItemDelegate(new SubfieldDelegate(
        *model, [this](const QString& text) { ShowMessage(text); }, tree));
    tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::SelectedClicked);
    tree->setAlternatingRowColors(true);
    tree->setMinimumHeight(tree->fontMetrics().height() * 12);
    // The description takes the room the marks leave, so that both stay in view.
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(SubfieldTreeModel::kDescription, QHeaderView::Stretch);
    tree->header()->setSectionResizeMode(SubfieldTreeModel::kMarks, QHeaderView::ResizeToContents);
    // In characters, so that the columns keep their share at any font size.
    const int digit = tree->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    tree->setColumnWidth(SubfieldTreeModel::kId, 9 * digit);
    tree->setColumnWidth(SubfieldTreeModel::kType, 6 * digit);
    tree->setColumnWidth(SubfieldTreeModel::kSize, 6 * digit);
    tree->setColumnWidth(SubfieldTreeModel::kPrefix, 7 * digit);
    column->addWidget(tree, 1);

    auto* buttons = new QHBoxLayout;
    addButton = new QPushButton(QStringLiteral("&Add"), box);
    addInsideButton = new QPushButton(QStringLiteral("Add &inside"), box);
    removeButton = new QPushButton(QStringLiteral("&Remove"), box);
    upButton = new QPushButton(QStringLiteral("Move &up"), box);
    downButton = new QPushButton(QStringLiteral("Move do&wn"), box);
    for (QPushButton* b : {addButton, addInsideButton, removeButton, upButton, downButton})
        buttons->addWidget(b);
    buttons->addStretch(1);
    column->addLayout(buttons);

    auto* selectedBox = new QGroupBox(QStringLiteral("Selected subfield"), box);
    auto* selected = new QHBoxLayout(selectedBox);
    auto* left = new QVBoxLayout;
    subfieldEncodings = new EncodingOverrides(def, selectedBox);
    left->addWidget(subfieldEncodings);
    textValueNote = new QLabel(
        QStringLiteral("Encodings of its own count inside a binary value; in a text value a "
                       "subfield is a run of its characters."),
        selectedBox);
    textValueNote->setWordWrap(true);
    left->addWidget(textValueNote);
    left->addStretch(1);
    selected->addLayout(left, 1);
    auto* right = new QFormLayout;
    holds = new QComboBox(selectedBox);
    for (const auto& [h, text] : kHolds)
        holds->addItem(QString::fromLatin1(text), static_cast<int>(h));
    right->addRow(QStringLiteral("&Holds:"), holds);
    rest = new QCheckBox(QStringLiteral("Takes the rest of the value"), selectedBox);
    right->addRow(rest);
    subfieldStructure = new StructureEditor(selectedBox);
    right->addRow(subfieldStructure);
    selected->addLayout(right, 1);
    column->addWidget(selectedBox);

    model->OnChanged([this] { Changed(); });
    model->OnRefused([this](const QString& text) { ShowMessage(text); });
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { ShowSelected(); });
    connect(addButton, &QPushButton::clicked, this, [this] {
        const QModelIndex current = tree->currentIndex();
        Select(model->AddChild(current.isValid() ? model->parent(current) : QModelIndex()));
    });
    connect(addInsideButton, &QPushButton::clicked, this,
            [this] { Select(model->AddChild(tree->currentIndex().siblingAtColumn(0))); });
    connect(removeButton, &QPushButton::clicked, this,
            [this] { Select(model->Remove(tree->currentIndex().siblingAtColumn(0))); });
    connect(upButton, &QPushButton::clicked, this,
            [this] { Select(model->Move(tree->currentIndex().siblingAtColumn(0), -1)); });
    connect(downButton, &QPushButton::clicked, this,
            [this] { Select(model->Move(tree->currentIndex().siblingAtColumn(0), 1)); });
    connect(holds, &QComboBox::activated, this, [this] {
        if (SubfieldNode* node = model->Node(tree->currentIndex().siblingAtColumn(0))) {
            node->def.holds = static_cast<SubfieldHolds>(holds->currentData().toInt());
            Changed();
        }
    });
    connect(rest, &QCheckBox::clicked, this, [this](bool on) {
        if (SubfieldNode* node = model->Node(tree->currentIndex().siblingAtColumn(0))) {
            node->def.rest = on;
            Changed();
        }
    });
    subfieldEncodings->OnMessage([this](const QString& text) { ShowMessage(text); });
    subfieldEncodings->OnChanged([this] { Changed(); });
    subfieldStructure->OnChanged([this] {
        const std::string path = model->Path(tree->currentIndex().siblingAtColumn(0));
        if (SubfieldNode* node = model->Node(tree->currentIndex().siblingAtColumn(0)))
            node->def.subfield = node->structure.layout != SubfieldLayout::kNone;
        model->Reload();
        tree->expandAll();
        Select(model->IndexOfPath(path));
        Changed();
    });
    return box;
}

void FieldDefinitionWindow::Select(const QModelIndex& index) {
    tree->expandAll();
    if (index.isValid()) {
        tree->setCurrentIndex(index);
    } else {
        tree->setCurrentIndex({});
    }
    ShowSelected();
}

void FieldDefinitionWindow::ShowSelected() {
    const QModelIndex current = tree->currentIndex().siblingAtColumn(0);
    SubfieldNode* node = model->Node(current);
    const std::string path = model->Path(current);
    if (node == nullptr) {
        textValueNote->setVisible(false);
        subfieldEncodings->Edit({}, FieldType::U, 0, {});
        subfieldStructure->Edit({}, false);
    } else {
        // Settings of its own count only inside a binary value; a text value's subfields are
        // runs of its characters.
        const bool binary = model->InBinaryValue(current);
        auto found = [this, path]() -> SubfieldNode* {
            return const_cast<SubfieldNode*>(def.subfields.Find(path));
        };
        textValueNote->setVisible(!binary);
        if (binary) {
            subfieldEncodings->Edit(
                [found]() -> FieldSettings* {
                    SubfieldNode* n = found();
                    return n != nullptr ? &n->def.settings : nullptr;
                },
                node->def.type, node->def.sizeLen, "subfield " + path);
        } else {
            subfieldEncodings->Edit({}, node->def.type, node->def.sizeLen, {});
        }
        subfieldStructure->Edit(
            [found](bool) -> SubfieldStructure* {
                SubfieldNode* n = found();
                return n != nullptr ? &n->structure : nullptr;
            },
            SubfieldValueIsBinary(node->def));
    }
    holds->setEnabled(node != nullptr);
    holds->setCurrentIndex(node != nullptr ? holds->findData(static_cast<int>(node->def.holds))
                                           : 0);
    const bool positional =
        node != nullptr && model->ParentStructure(current).layout == SubfieldLayout::kPositional;
    rest->setEnabled(positional && current.row() + 1 == model->rowCount(model->parent(current)));
    rest->setChecked(node != nullptr && node->def.rest);
    UpdateButtons();
}

void FieldDefinitionWindow::UpdateButtons() {
    const QModelIndex current = tree->currentIndex().siblingAtColumn(0);
    const SubfieldNode* node = model->Node(current);
    const SubfieldNode* top = def.subfields.Field(field);
    const bool fieldLaidOut = top != nullptr && top->structure.layout != SubfieldLayout::kNone;
    addButton->setEnabled(node != nullptr ? true : fieldLaidOut);
    addInsideButton->setEnabled(node != nullptr && node->structure.layout != SubfieldLayout::kNone);
    removeButton->setEnabled(node != nullptr);
    upButton->setEnabled(model->CanMove(current, -1));
    downButton->setEnabled(model->CanMove(current, 1));
}

void FieldDefinitionWindow::Changed() {
    title->setText(FieldTitle(def, field));
    UpdateButtons();
    ShowFindings();
    if (onChanged) onChanged();
}

void FieldDefinitionWindow::ShowMessage(const QString& text) {
    message->setText(text);
}

QString FieldDefinitionWindow::Message() const {
    return message->text();
}

void FieldDefinitionWindow::ShowFindings() {
    findings->clear();
    for (const std::string& finding : FieldLintFindings(def, field))
        findings->addItem(QString::fromStdString(finding));
    if (findings->count() == 0) findings->addItem(QStringLiteral("Nothing to say."));
}
