#include "ui/structure_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>

#include "model/protocol.h"
#include "ui/number_box.h"

namespace {

constexpr std::pair<SubfieldLayout, const char*> kKinds[] = {
    {SubfieldLayout::kNone, "None: one value"},
    {SubfieldLayout::kPositional, "Positional"},
    {SubfieldLayout::kTagged, "Tagged: tag, length, value"},
    {SubfieldLayout::kBitmap, "Bitmapped"},
    {SubfieldLayout::kBerTlv, "BER-TLV data objects"},
};

constexpr Encoding kPartEncodings[] = {Encoding::CHAR, Encoding::PBCD, Encoding::BIGEND};

QComboBox* PartEncodingCombo(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    for (Encoding e : kPartEncodings)
        combo->addItem(QString::fromLatin1(NameOf(e)), static_cast<int>(e));
    return combo;
}

}  // namespace

StructureEditor::StructureEditor(QWidget* parent)
    : QWidget(parent),
      form(new QFormLayout(this)),
      kind(new QComboBox(this)),
      head(new NumberBox(QStringLiteral("head units"), 0, kMaxHeadUnits, this)),
      tagUnits(new NumberBox(QStringLiteral("tag units"), 1, kMaxTagUnits, this)),
      tagEncoding(PartEncodingCombo(this)),
      lengthUnits(new NumberBox(QStringLiteral("length units"), 1, kMaxElementLengthUnits, this)),
      lengthEncoding(PartEncodingCombo(this)),
      lengthFirst(new QCheckBox(QStringLiteral("Length before tag"), this)),
      bitmapBytes(new NumberBox(QStringLiteral("bitmap bytes"), 1, kMaxInnerBitmapBytes, this)),
      bitmapHex(new QCheckBox(QStringLiteral("Bitmap written as hexadecimal characters"), this)) {
    form->setContentsMargins(0, 0, 0, 0);
    for (const auto& [layout, text] : kKinds)
        kind->addItem(QString::fromLatin1(text), static_cast<int>(layout));
    form->addRow(QStringLiteral("&Structure:"), kind);
    form->addRow(QStringLiteral("Head units:"), head);
    form->addRow(QStringLiteral("Tag units:"), tagUnits);
    form->addRow(QStringLiteral("Tag encoding:"), tagEncoding);
    form->addRow(QStringLiteral("Length units:"), lengthUnits);
    form->addRow(QStringLiteral("Length encoding:"), lengthEncoding);
    form->addRow(lengthFirst);
    form->addRow(QStringLiteral("Bitmap bytes:"), bitmapBytes);
    form->addRow(bitmapHex);

    connect(kind, &QComboBox::activated, this, [this] {
        const auto layout = static_cast<SubfieldLayout>(kind->currentData().toInt());
        Change([layout](SubfieldStructure& s) {
            if (s.layout == layout) return;
            // A new kind starts from the settings most dialects use.
            SubfieldStructure fresh;
            fresh.layout = layout;
            if (layout == SubfieldLayout::kTagged) {
                fresh.tag.units = 2;
                fresh.length.units = 2;
            }
            if (layout == SubfieldLayout::kBitmap) fresh.bitmapBytes = 8;
            s = fresh;
        });
    });
    head->OnCommit([this](int v) {
        Change([v](SubfieldStructure& s) { s.head = static_cast<std::int16_t>(v); });
    });
    tagUnits->OnCommit([this](int v) {
        Change([v](SubfieldStructure& s) { s.tag.units = static_cast<std::uint8_t>(v); });
    });
    lengthUnits->OnCommit([this](int v) {
        Change([v](SubfieldStructure& s) { s.length.units = static_cast<std::uint8_t>(v); });
    });
    bitmapBytes->OnCommit([this](int v) {
        Change([v](SubfieldStructure& s) { s.bitmapBytes = static_cast<std::uint8_t>(v); });
    });
    connect(tagEncoding, &QComboBox::activated, this, [this] {
        const auto e = static_cast<Encoding>(tagEncoding->currentData().toInt());
        Change([e](SubfieldStructure& s) { s.tag.encoding = e; });
    });
    connect(lengthEncoding, &QComboBox::activated, this, [this] {
        const auto e = static_cast<Encoding>(lengthEncoding->currentData().toInt());
        Change([e](SubfieldStructure& s) { s.length.encoding = e; });
    });
    connect(lengthFirst, &QCheckBox::clicked, this,
            [this](bool on) { Change([on](SubfieldStructure& s) { s.lengthFirst = on; }); });
    connect(bitmapHex, &QCheckBox::clicked, this,
            [this](bool on) { Change([on](SubfieldStructure& s) { s.bitmapHex = on; }); });
    setEnabled(false);
}

void StructureEditor::Edit(std::function<SubfieldStructure*(bool make)> t, bool isBinary) {
    target = std::move(t);
    binary = isBinary;
    Show();
}

void StructureEditor::Show() {
    const SubfieldStructure* s = target ? target(false) : nullptr;
    setEnabled(s != nullptr);
    const SubfieldStructure shown = s != nullptr ? *s : SubfieldStructure{};
    showing = true;
    kind->setCurrentIndex(std::max(0, kind->findData(static_cast<int>(shown.layout))));
    const bool tagged = shown.layout == SubfieldLayout::kTagged;
    const bool bitmap = shown.layout == SubfieldLayout::kBitmap;
    for (QWidget* w : {static_cast<QWidget*>(head), static_cast<QWidget*>(tagUnits),
                       static_cast<QWidget*>(lengthUnits), static_cast<QWidget*>(lengthFirst)})
        form->setRowVisible(w, tagged);
    // In a text value tag and length are characters: no encoding to choose.
    form->setRowVisible(tagEncoding, tagged && binary);
    form->setRowVisible(lengthEncoding, tagged && binary);
    form->setRowVisible(bitmapBytes, bitmap);
    form->setRowVisible(bitmapHex, bitmap);
    head->SetValue(shown.head);
    tagUnits->SetValue(shown.tag.units);
    lengthUnits->SetValue(shown.length.units);
    bitmapBytes->SetValue(shown.bitmapBytes);
    tagEncoding->setCurrentIndex(
        std::max(0, tagEncoding->findData(static_cast<int>(shown.tag.encoding))));
    lengthEncoding->setCurrentIndex(
        std::max(0, lengthEncoding->findData(static_cast<int>(shown.length.encoding))));
    lengthFirst->setChecked(shown.lengthFirst);
    bitmapHex->setChecked(shown.bitmapHex);
    showing = false;
}

void StructureEditor::Change(const std::function<void(SubfieldStructure&)>& change) {
    SubfieldStructure* s = target ? target(true) : nullptr;
    if (showing || s == nullptr) return;
    const SubfieldStructure before = *s;
    change(*s);
    if (*s == before) return;
    if (onChanged) onChanged();
    Show();
}
