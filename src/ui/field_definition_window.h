// The Field definition window: what one data element has beyond the Data Elements page's
// columns. Its encodings and padding, the structure of its value, and its subfields as a tree,
// each subfield with its own encodings, marks and structure; lint's findings for the field
// below. Every change goes into the definition at once and is told to the caller.
#pragma once

#include <functional>

#include <QDialog>

#include "model/protocol.h"

class EncodingOverrides;
class QComboBox;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeView;
class StructureEditor;
class SubfieldTreeModel;

class FieldDefinitionWindow : public QDialog {
    Q_OBJECT

  public:
    FieldDefinitionWindow(ProtocolDef& def, int field, QWidget* parent = nullptr);

    // Told after each change taken into the definition.
    void OnChanged(std::function<void()> changed) { onChanged = std::move(changed); }

    int Field() const { return field; }
    QTreeView* Tree() const { return tree; }
    SubfieldTreeModel* Model() const { return model; }
    EncodingOverrides* FieldEncodings() const { return fieldEncodings; }
    StructureEditor* FieldStructure() const { return fieldStructure; }
    EncodingOverrides* SubfieldEncodings() const { return subfieldEncodings; }
    QComboBox* Holds() const { return holds; }
    // The window's own message: why the last value was refused, else empty.
    QString Message() const;
    QListWidget* Findings() const { return findings; }

  private:
    QWidget* BuildFieldSide();
    QWidget* BuildSubfieldSide();
    void Changed();
    void ShowMessage(const QString& text);
    void ShowSelected();
    void ShowFindings();
    void UpdateButtons();
    void Select(const QModelIndex& index);

    ProtocolDef& def;
    int field;
    std::function<void()> onChanged;

    QLabel* title = nullptr;
    EncodingOverrides* fieldEncodings = nullptr;
    StructureEditor* fieldStructure = nullptr;
    SubfieldTreeModel* model = nullptr;
    QTreeView* tree = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* addInsideButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* upButton = nullptr;
    QPushButton* downButton = nullptr;
    EncodingOverrides* subfieldEncodings = nullptr;
    QLabel* textValueNote = nullptr;
    QComboBox* holds = nullptr;
    QCheckBox* rest = nullptr;
    StructureEditor* subfieldStructure = nullptr;
    QLabel* message = nullptr;
    QListWidget* findings = nullptr;
};
