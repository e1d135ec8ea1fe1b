#include "ui/number_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

NumberBox::NumberBox(const QString& w, int l, int m, QWidget* parent)
    : QWidget(parent),
      what(w),
      least(l),
      most(m),
      edit(new QLineEdit(this)),
      message(new QLabel(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    edit->setMaxLength(6);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    message->setStyleSheet(QStringLiteral("color: #b00020"));
    row->addWidget(edit);
    row->addWidget(message, 1);
    connect(edit, &QLineEdit::textEdited, this, [this] { Typed(); });
    connect(edit, &QLineEdit::editingFinished, this, [this] { Finished(); });
}

void NumberBox::SetValue(int value) {
    shown = value;
    edit->setText(QString::number(value));
    message->clear();
}

QString NumberBox::Message() const {
    return message->text();
}

QString NumberBox::Problem(const QString& text) const {
    bool number = false;
    const int value = text.trimmed().toInt(&number);
    if (text.trimmed().isEmpty()) return QStringLiteral("%1: a number is needed").arg(what);
    if (!number) return QStringLiteral("%1: \"%2\" is not a whole number").arg(what, text);
    if (value < least || value > most)
        return QStringLiteral("%1: %2 is not from %3 to %4")
            .arg(what)
            .arg(value)
            .arg(least)
            .arg(most);
    return {};
}

void NumberBox::Typed() {
    message->setText(Problem(edit->text()));
}

void NumberBox::Finished() {
    const QString problem = Problem(edit->text());
    message->setText(problem);
    if (!problem.isEmpty()) return;
    const int value = edit->text().trimmed().toInt();
    if (value == shown) return;
    shown = value;
    if (committed) committed(value);
}
