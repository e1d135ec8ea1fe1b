// The encodings and padding a field or subfield has of its own, each beside the dialect's value
// it otherwise takes ("Dialect (PBCD)"). A pick the model's rules contradict (a NUM_Enc on a
// character field) is refused with the model's words.
#pragma once

#include <functional>
#include <string>

#include <QWidget>

#include "model/protocol.h"

class QCheckBox;
class QComboBox;
class QFormLayout;

class EncodingOverrides : public QWidget {
  public:
    EncodingOverrides(const ProtocolDef& dialect, QWidget* parent = nullptr);

    // What is edited: settings found anew each time (the tree may have moved them), of a value
    // of the type with that prefix size, named in messages ("field 48", "subfield 48.01").
    // A null target shows nothing to edit.
    void Edit(std::function<FieldSettings*()> target, FieldType type, int sizeLen,
              std::string name);
    void OnChanged(std::function<void()> changed) { onChanged = std::move(changed); }
    // Told why a pick was refused, or "" when one was taken.
    void OnMessage(std::function<void(const QString&)> message) { onMessage = std::move(message); }

    QComboBox* Combo(EncodingRole role) const;

  private:
    void Show();
    void Pick(const std::function<void(FieldSettings&)>& change);
    void FillEncodings(QComboBox* combo, EncodingRole role);

    const ProtocolDef& dialect;
    std::function<FieldSettings*()> target;
    FieldType type = FieldType::U;
    int sizeLen = 0;
    std::string name;
    std::function<void()> onChanged;
    std::function<void(const QString&)> onMessage;
    bool showing = false;

    QFormLayout* form;
    QComboBox* lengthCombo;
    QComboBox* dataCombo;
    QComboBox* charsetCombo;
    QComboBox* padSideCombo;
    QComboBox* padNibbleCombo;
    QCheckBox* nibblesCheck;
    QCheckBox* leftCheck;
    QCheckBox* wholeCheck;
};
