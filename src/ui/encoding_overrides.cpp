#include "ui/encoding_overrides.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>

#include "model/pro_settings.h"

namespace {

constexpr int kDialect = -1;

QString DialectText(const char* value) {
    return QStringLiteral("Dialect (%1)").arg(QString::fromLatin1(value));
}

void SelectData(QComboBox* combo, int data) {
    const int at = combo->findData(data);
    combo->setCurrentIndex(at < 0 ? 0 : at);
}

}  // namespace

EncodingOverrides::EncodingOverrides(const ProtocolDef& d, QWidget* parent)
    : QWidget(parent),
      dialect(d),
      form(new QFormLayout(this)),
      lengthCombo(new QComboBox(this)),
      dataCombo(new QComboBox(this)),
      charsetCombo(new QComboBox(this)),
      padSideCombo(new QComboBox(this)),
      padNibbleCombo(new QComboBox(this)),
      nibblesCheck(new QCheckBox(QStringLiteral("Prefix counts nibbles (LEN_NIBBLES)"), this)),
      leftCheck(new QCheckBox(QStringLiteral("Packed prefix left-aligned (LEN_LEFT)"), this)),
      wholeCheck(
          new QCheckBox(QStringLiteral("Binary prefix read as one number (LEN_WHOLE)"), this)) {
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("&Length prefix:"), lengthCombo);
    form->addRow(QStringLiteral("&Data:"), dataCombo);
    form->addRow(QStringLiteral("C&haracter set:"), charsetCombo);
    form->addRow(QStringLiteral("Pad &side:"), padSideCombo);
    form->addRow(QStringLiteral("Pad &nibble:"), padNibbleCombo);
    form->addRow(nibblesCheck);
    form->addRow(leftCheck);
    form->addRow(wholeCheck);

    const auto picked = [this](QComboBox* combo, auto store) {
        connect(combo, &QComboBox::activated, this, [this, combo, store] {
            const int data = combo->currentData().toInt();
            Pick([&](FieldSettings& s) { store(s, data); });
        });
    };
    picked(lengthCombo, [](FieldSettings& s, int e) {
        if (e == kDialect)
            s.lenEnc.reset();
        else
            SetOwnEncoding(s, EncodingRole::kLength, static_cast<Encoding>(e));
    });
    picked(dataCombo, [this](FieldSettings& s, int e) {
        const EncodingRole role = DataRole(type);
        if (e == kDialect)
            (role == EncodingRole::kNumeric ? s.numEnc : s.binEnc).reset();
        else
            SetOwnEncoding(s, role, static_cast<Encoding>(e));
    });
    picked(charsetCombo, [](FieldSettings& s, int e) {
        if (e == kDialect)
            s.charset.reset();
        else
            SetOwnEncoding(s, EncodingRole::kCharacter, static_cast<Encoding>(e));
    });
    picked(padSideCombo, [](FieldSettings& s, int side) {
        if (side == kDialect)
            s.padSide.reset();
        else
            s.padSide = static_cast<PadSide>(side);
    });
    picked(padNibbleCombo, [](FieldSettings& s, int nibble) {
        if (nibble == kDialect)
            s.padNibble.reset();
        else
            s.padNibble = static_cast<std::uint8_t>(nibble);
    });
    const auto ticked = [this](QCheckBox* check, bool FieldSettings::*flag) {
        connect(check, &QCheckBox::clicked, this,
                [this, flag](bool on) { Pick([&](FieldSettings& s) { s.*flag = on; }); });
    };
    ticked(nibblesCheck, &FieldSettings::prefixNibbles);
    ticked(leftCheck, &FieldSettings::prefixLeftAligned);
    ticked(wholeCheck, &FieldSettings::prefixNumber);
    setEnabled(false);
}

QComboBox* EncodingOverrides::Combo(EncodingRole role) const {
    switch (role) {
        case EncodingRole::kLength:
            return lengthCombo;
        case EncodingRole::kCharacter:
            return charsetCombo;
        default:
            return dataCombo;
    }
}

void EncodingOverrides::Edit(std::function<FieldSettings*()> t, FieldType ty, int prefix,
                             std::string n) {
    target = std::move(t);
    type = ty;
    sizeLen = prefix;
    name = std::move(n);
    FillEncodings(lengthCombo, EncodingRole::kLength);
    FillEncodings(dataCombo, DataRole(type));
    FillEncodings(charsetCombo, EncodingRole::kCharacter);
    padSideCombo->clear();
    padSideCombo->addItem(DialectText("LEFT"), kDialect);
    padSideCombo->addItem(QStringLiteral("LEFT"), static_cast<int>(PadSide::kLeft));
    padSideCombo->addItem(QStringLiteral("RIGHT"), static_cast<int>(PadSide::kRight));
    padNibbleCombo->clear();
    padNibbleCombo->addItem(DialectText("0"), kDialect);
    padNibbleCombo->addItem(QStringLiteral("0"), 0);
    padNibbleCombo->addItem(QStringLiteral("F"), 0xF);
    // A character field's data is its character set: one combo says it.
    const bool text = DataRole(type) == EncodingRole::kCharacter;
    form->setRowVisible(dataCombo, !text && type != FieldType::U);
    form->setRowVisible(lengthCombo, sizeLen > 0);
    for (QCheckBox* check : {nibblesCheck, leftCheck, wholeCheck})
        form->setRowVisible(check, sizeLen > 0);
    Show();
}

void EncodingOverrides::FillEncodings(QComboBox* combo, EncodingRole role) {
    combo->clear();
    combo->addItem(DialectText(NameOf(dialect.*EncodingField(role))), kDialect);
    for (int e = 0; e < kEncodingCount; ++e) {
        if (AcceptsFieldEncoding(role, type, static_cast<Encoding>(e)))
            combo->addItem(QString::fromLatin1(NameOf(static_cast<Encoding>(e))), e);
    }
}

void EncodingOverrides::Show() {
    const FieldSettings* s = target ? target() : nullptr;
    setEnabled(s != nullptr);
    if (s == nullptr) return;
    showing = true;
    const auto own = [&](EncodingRole role) {
        const auto e = OwnEncoding(*s, role);
        return e ? static_cast<int>(*e) : kDialect;
    };
    SelectData(lengthCombo, own(EncodingRole::kLength));
    SelectData(dataCombo, own(DataRole(type)));
    SelectData(charsetCombo, own(EncodingRole::kCharacter));
    SelectData(padSideCombo, s->padSide ? static_cast<int>(*s->padSide) : kDialect);
    SelectData(padNibbleCombo, s->padNibble ? static_cast<int>(*s->padNibble) : kDialect);
    nibblesCheck->setChecked(s->prefixNibbles);
    leftCheck->setChecked(s->prefixLeftAligned);
    wholeCheck->setChecked(s->prefixNumber);
    showing = false;
}

void EncodingOverrides::Pick(const std::function<void(FieldSettings&)>& change) {
    FieldSettings* s = target ? target() : nullptr;
    if (showing || s == nullptr) return;
    FieldSettings candidate = *s;
    change(candidate);
    const std::string why = SettingsContradiction(dialect, name, type, sizeLen, candidate);
    if (!why.empty()) {
        if (onMessage) onMessage(QString::fromStdString(why) + QStringLiteral("; not taken"));
        Show();
        return;
    }
    if (onMessage) onMessage({});
    if (candidate == *s) return;
    *s = candidate;
    if (onChanged) onChanged();
}
