// The Field details window: one field of the last parse as its units in the message (a hex
// dump, the length prefix told apart from the data) and as what is inside it (data objects,
// track parts, the card-number check). Picking a row hands that row's units to the owner.
#pragma once

#include <functional>

#include <QWidget>

#include "model/protocol.h"
#include "ui/parsed_message.h"

class QLabel;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

class FieldDetailsWindow : public QWidget {
  public:
    // Told the message units of the row picked in the tree.
    using UnitsPicked = std::function<void(int start, int count)>;

    FieldDetailsWindow(QWidget* owner, UnitsPicked picked);

    // Shows the field, or an empty window naming the number when field is null.
    void ShowField(const ProtocolDef& def, const ParsedMessage& message, int number);
    int Number() const { return number; }
    // Opens the window or brings it to the front, fitted to the owner's screen, where it does
    // not cover avoid (the message box its rows select in) when there is room elsewhere.
    void Present(const QWidget* avoid = nullptr);

    QTreeWidget* Tree() const { return tree; }
    QPlainTextEdit* Dump() const { return dump; }
    QLabel* Heading() const { return heading; }
    QLabel* Problem() const { return problem; }

  private:
    void FillTree(const FieldInspection& inspection, const ParsedField& field, int prefix);
    void OnCurrentChanged(QTreeWidgetItem* item);
    void Highlight(int start, int count);

    UnitsPicked picked;
    int number = 0;
    int dumpFirst = 0;  // message unit of the dump's first byte
    int dumpCount = 0;
    int prefixUnits = 0;  // the first units of the dump that are the length prefix
    bool fitted = false;
    QLabel* heading = nullptr;
    QPlainTextEdit* dump = nullptr;
    QTreeWidget* tree = nullptr;
    QLabel* problem = nullptr;
};
