#include "ui/import_report_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

ImportReportWindow::ImportReportWindow(const QString& heading,
                                       const std::vector<std::string>& notes, QWidget* parent)
    : QDialog(parent), text(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("Import report"));
    setObjectName(QStringLiteral("ImportReportWindow"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(heading, this);
    label->setWordWrap(true);
    layout->addWidget(label);
    QStringList lines;
    for (const std::string& note : notes)
        lines << QString::fromStdString(note);
    if (lines.isEmpty()) lines << QStringLiteral("Everything was carried over.");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setPlainText(lines.join(QLatin1Char('\n')));
    layout->addWidget(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(text->toPlainText()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(680, 360);
}
