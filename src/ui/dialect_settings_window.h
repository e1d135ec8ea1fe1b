// Definition > Settings...: the options of the whole dialect (OPTION= lines), each taken into
// the definition as soon as it is valid.
#pragma once

#include <functional>

#include <QDialog>

#include "model/protocol.h"

class NumberBox;
class QCheckBox;

class DialectSettingsWindow : public QDialog {
    Q_OBJECT

  public:
    DialectSettingsWindow(ProtocolDef& def, QWidget* parent = nullptr);
    void OnChanged(std::function<void()> changed) { onChanged = std::move(changed); }

    QCheckBox* EmptyFields() const { return emptyFields; }
    QCheckBox* HasHeader() const { return hasHeader; }
    NumberBox* HeaderUnits() const { return headerUnits; }
    QCheckBox* FixedBitmap() const { return fixedBitmap; }
    QCheckBox* Trailing() const { return trailing; }

  private:
    void Show();
    void Changed();

    ProtocolDef& def;
    std::function<void()> onChanged;
    QCheckBox* emptyFields;
    QCheckBox* hasHeader;
    NumberBox* headerUnits;
    QCheckBox* fixedBitmap;
    QCheckBox* trailing;
};
