// The message the Message editor composes: its fields, their subfields and data objects as a
// tree a view edits. Values are kept as a person types them (text, hex digits for binary data,
// decimal digits for numbers): the form the encoder takes as shown. The model judges no value
// itself; a value is refused when the check it is given (the encoder's word) says so.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QAbstractItemModel>
#include <QString>

#include "encode/message_draft.h"
#include "model/protocol.h"

struct MessageItem {
    int field = 0;  // the field every item under it belongs to
    QString id;     // a subfield's id or a data object's tag; empty for the field itself
    QString value;
    bool structured = false;  // holds items rather than a value
    bool needed = false;      // mandatory for the message's MTI
    // Stands for a mandatory field of a new message (or one the user removed): left out while
    // empty. Any other item is written empty where the encoder can write it so.
    bool placeholder = false;
    QString problem;  // what the encoder said of the field when last asked
    MessageItem* parent = nullptr;
    std::vector<std::unique_ptr<MessageItem>> children;

    // "55.9F02": the field's number and each id down to this item.
    QString Path() const;
};

class MessageTreeModel : public QAbstractItemModel {
  public:
    enum Column { kId, kDescription, kValue, kCheck, kColumnCount };
    // Why value cannot be item's value, or empty when it can.
    using ValueCheck = std::function<QString(const MessageItem& item, const QString& value)>;

    explicit MessageTreeModel(const ProtocolDef& def, QObject* parent = nullptr);
    ~MessageTreeModel() override;

    void SetValueCheck(ValueCheck check) { valueCheck = std::move(check); }
    // Why the last value set was refused; empty when it was taken.
    const QString& LastRefusal() const { return refusal; }

    void Clear();
    // The field's row, added in number order when it is not there yet.
    QModelIndex AddField(int n, bool needed, bool structured = false);
    QModelIndex AddChild(const QModelIndex& parent, const QString& id, bool structured);
    // A needed field stays, emptied and left out: it is the message definition's, not the
    // user's.
    void Remove(const QModelIndex& index);
    bool SetValue(const QModelIndex& index, const QString& value);
    void SetProblem(int field, const QString& problem);

    MessageItem* Item(const QModelIndex& index) const;
    QModelIndex IndexOf(const MessageItem* item, int column = kId) const;
    const MessageItem* Field(int n) const;
    const std::vector<std::unique_ptr<MessageItem>>& Fields() const { return root.children; }

    // The items into the draft (cleared first, MTI and header set by the caller). An empty item
    // goes in where the encoder writes it so (a variable field under the dialect's empty
    // fields, a data object), placeholders aside; other empty values and structures with
    // nothing in them are left out. With only set, that field alone; with swapped set, that
    // item's value read as swappedValue.
    void FillDraft(MessageDraft& draft, const MessageItem* only = nullptr,
                   const MessageItem* swapped = nullptr, const QString& swappedValue = {}) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    bool WrittenEmpty(const MessageItem& item) const;
    bool Written(const MessageItem& item) const;
    bool Given(const MessageItem& item, const MessageItem* swapped) const;
    void AddChildren(MessageDraft& draft, std::int32_t node, const MessageItem& item,
                     const MessageItem* swapped, const QString& swappedValue) const;
    QString Description(const MessageItem& item) const;
    int RowOf(const MessageItem* item) const;

    const ProtocolDef& def;
    MessageItem root;
    ValueCheck valueCheck;
    QString refusal;
};
