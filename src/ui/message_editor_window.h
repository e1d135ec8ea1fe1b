// The Message editor: a message composed field by field (subfields and data objects as a tree),
// each value checked by the encoder as it is typed, the encoded message shown live with the
// field under the cursor marked in it. The Parser page is left alone until "Use in Parser".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QWidget>

#include "model/protocol.h"
#include "ui/message_tree_model.h"
#include "ui/parsed_message.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

class MessageEditorWindow : public QWidget {
  public:
    // Told the message to put into the Parser page's box: hexadecimal digits when hex is set,
    // else the message's own characters.
    using UseInParser = std::function<void(const QString& text, bool hex)>;

    MessageEditorWindow(QWidget* owner, const ProtocolDef& def, UseInParser use);

    // A message of the MTI: the message definition's mandatory fields empty and marked as
    // needed; its optional ones first in the list of fields to add.
    void NewMessage(const char* mti);
    // The parsed message's fields and values (data objects and declared subfields as items).
    void EditMessage(const ParsedMessage& message);
    // Opens the window or brings it to the front beside the owner, off avoid (the Parser's
    // message box, which "Use in Parser" fills) where there is room.
    void Present(const QWidget* avoid = nullptr);

    MessageTreeModel& Model() { return model; }
    QTreeView* Tree() const { return tree; }
    QLabel* Status() const { return status; }
    QPlainTextEdit* HexView() const { return hexView; }
    QPlainTextEdit* TextView() const { return textView; }
    QComboBox* FieldChoice() const { return fieldChoice; }
    QPushButton* UseButton() const { return useButton; }
    // The encoded message, empty while some value keeps it from being built.
    const std::vector<std::uint8_t>& Encoded() const { return encoded; }
    const QString& Mti() const { return mti; }
    // The units of the field under the cursor, marked in the hex: start and count.
    std::pair<int, int> Marked() const { return marked; }
    // A text dialect's message goes to the Parser as its characters.
    bool ShownAsText() const { return asText; }

  private:
    QString CheckValue(const MessageItem& item, const QString& value);
    bool Encode(const MessageItem* only, const MessageItem* swapped, const QString& swappedValue,
                std::vector<std::uint8_t>& out, std::string& error);
    void Rebuild();
    void FillFieldChoice();
    void MarkCurrentField();
    std::pair<int, int> UnitsOf(const MessageItem& item) const;
    void AddChosenField();
    void AddItemUnder();
    void RemoveCurrent();
    void CopyHex();
    void CopyValue();
    void SendToParser();
    void StartMessage(const QString& mti);

    const ProtocolDef& def;
    UseInParser use;
    MessageTreeModel model;
    QString mti;
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> encoded;
    ParsedMessage readBack;  // the encoded message decoded: where each field lies
    bool asText = false;
    std::pair<int, int> marked;
    bool fitted = false;
    bool filling = false;  // a parsed message going into the tree
    QLabel* heading = nullptr;
    QComboBox* fieldChoice = nullptr;
    QTreeView* tree = nullptr;
    QLabel* status = nullptr;
    QPlainTextEdit* hexView = nullptr;
    QPlainTextEdit* textView = nullptr;
    QPushButton* useButton = nullptr;
    QPushButton* copyButton = nullptr;
};
