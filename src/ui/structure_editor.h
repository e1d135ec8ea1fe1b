// What is inside a field or subfield: none, positional, tagged (head, tag, length), bitmapped
// (bitmap bytes) or BER-TLV, each setting taken as the Field definition window's boxes take
// theirs.
#pragma once

#include <functional>

#include <QWidget>

#include "model/subfields.h"

class NumberBox;
class QCheckBox;
class QComboBox;
class QFormLayout;

class StructureEditor : public QWidget {
  public:
    explicit StructureEditor(QWidget* parent = nullptr);

    // The structure found anew each time, made first when make is true (a change); binary: the
    // value is bytes, so tag and length have encodings of their own. A null target shows
    // nothing to edit.
    void Edit(std::function<SubfieldStructure*(bool make)> target, bool binary);
    void OnChanged(std::function<void()> changed) { onChanged = std::move(changed); }

    QComboBox* Kind() const { return kind; }
    NumberBox* TagUnits() const { return tagUnits; }

  private:
    void Show();
    void Change(const std::function<void(SubfieldStructure&)>& change);

    std::function<SubfieldStructure*(bool make)> target;
    std::function<void()> onChanged;
    bool binary = false;
    bool showing = false;

    QFormLayout* form;
    QComboBox* kind;
    NumberBox* head;
    NumberBox* tagUnits;
    QComboBox* tagEncoding;
    NumberBox* lengthUnits;
    QComboBox* lengthEncoding;
    QCheckBox* lengthFirst;
    NumberBox* bitmapBytes;
    QCheckBox* bitmapHex;
};
