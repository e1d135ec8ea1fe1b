#include "ui/dialect_settings_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/number_box.h"

DialectSettingsWindow::DialectSettingsWindow(ProtocolDef& d, QWidget* parent)
    : QDialog(parent),
      def(d),
      emptyFields(new QCheckBox(
          QStringLiteral("A variable field of length 0 is an empty value (EMPTY_FIELDS)"), this)),
      hasHeader(new QCheckBox(QStringLiteral("A header comes before the MTI (HEADER)"), this)),
      headerUnits(new NumberBox(QStringLiteral("header units"), 0, kMaxHeaderUnits, this)),
      fixedBitmap(new QCheckBox(
          QStringLiteral("The bitmap always has both blocks of 64 bits (BITMAP FIXED128)"), this)),
      trailing(new QCheckBox(
          QStringLiteral("Units after the last field belong to the dialect (TRAILING)"), this)) {
    setWindowTitle(QStringLiteral("Dialect settings"));
    setObjectName(QStringLiteral("DialectSettingsWindow"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(emptyFields);
    form->addRow(hasHeader);
    form->addRow(QStringLiteral("Header &units:"), headerUnits);
    form->addRow(fixedBitmap);
    form->addRow(trailing);
    layout->addLayout(form);
    auto* note = new QLabel(
        QStringLiteral("Header units are set aside before the MTI and shown before the fields; "
                       "offsets are still counted from the message's first unit."),
        this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(emptyFields, &QCheckBox::clicked, this, [this](bool on) {
        def.options.emptyFields = on;
        Changed();
    });
    connect(fixedBitmap, &QCheckBox::clicked, this, [this](bool on) {
        def.options.fixedBitmap = on;
        Changed();
    });
    connect(trailing, &QCheckBox::clicked, this, [this](bool on) {
        def.options.trailing = on;
        Changed();
    });
    connect(hasHeader, &QCheckBox::clicked, this, [this](bool on) {
        // A header ticked starts from what its box shows, a valid number or none.
        const QString why = headerUnits->Problem(headerUnits->Edit()->text());
        def.options.header = on ? (why.isEmpty() ? headerUnits->Edit()->text().toInt() : 0) : -1;
        Changed();
    });
    headerUnits->OnCommit([this](int units) {
        if (def.options.header < 0) return;
        def.options.header = units;
        Changed();
    });
    Show();
}

void DialectSettingsWindow::Show() {
    emptyFields->setChecked(def.options.emptyFields);
    fixedBitmap->setChecked(def.options.fixedBitmap);
    trailing->setChecked(def.options.trailing);
    hasHeader->setChecked(def.options.header >= 0);
    headerUnits->SetValue(std::max(0, def.options.header));
    headerUnits->setEnabled(def.options.header >= 0);
}

void DialectSettingsWindow::Changed() {
    Show();
    if (onChanged) onChanged();
}
