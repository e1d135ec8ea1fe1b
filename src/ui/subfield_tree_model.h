// The subfields of one field as an editable tree: the classic columns of each (type, size,
// prefix units, description), its id where the structure lets the user name it (a tag), and its
// marks. Values are taken into the definition only when they are valid; the tree is read from
// the definition anew after every change of its shape, so no row holds on to a moved node.
#pragma once

#include <functional>
#include <string>

#include <QAbstractItemModel>

#include "model/protocol.h"

class SubfieldTreeModel : public QAbstractItemModel {
  public:
    enum Column { kId, kType, kSize, kPrefix, kDescription, kMarks, kColumnCount };

    SubfieldTreeModel(ProtocolDef& def, int field, QObject* parent = nullptr);

    // Told after each change taken into the definition, and why a value was refused.
    void OnChanged(std::function<void()> changed) { onChanged = std::move(changed); }
    void OnRefused(std::function<void(const QString&)> refused) { onRefused = std::move(refused); }

    // Why text is not a value of the cell, or "": what setData would refuse.
    QString Problem(const QModelIndex& index, const QString& text) const;
    // "48.42.01"; the field's number for an invalid index.
    std::string Path(const QModelIndex& index) const;
    SubfieldNode* Node(const QModelIndex& index) const;
    // The structure the row's subfields are laid out by: the field's for a top row.
    const SubfieldStructure& ParentStructure(const QModelIndex& index) const;
    // The value a row's subfields are part of is bytes.
    bool InBinaryValue(const QModelIndex& index) const;

    // Shape changes; each returns the index of the row they leave selected (invalid for none).
    QModelIndex AddChild(const QModelIndex& parent);
    QModelIndex Remove(const QModelIndex& index);
    QModelIndex Move(const QModelIndex& index, int step);
    bool CanMove(const QModelIndex& index, int step) const;
    QModelIndex IndexOfPath(const std::string& path) const;
    // Reads the tree anew (after a change made beside the model).
    void Reload();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    SubfieldNode* Root() const;
    SubfieldNode* Holder(const QModelIndex& parent) const;
    std::string NewId(const SubfieldNode& holder) const;
    void Changed();

    ProtocolDef& def;
    int field;
    std::function<void()> onChanged;
    std::function<void(const QString&)> onRefused;
};
