// What an import or export could not carry over, one line each, in a window whose text the user
// can select and copy.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

class QPlainTextEdit;

class ImportReportWindow : public QDialog {
    Q_OBJECT

  public:
    // heading: "acme.xml (jPOS packager XML) read into “Acme (imported)”".
    ImportReportWindow(const QString& heading, const std::vector<std::string>& notes,
                       QWidget* parent = nullptr);
    QPlainTextEdit* Text() const { return text; }

  private:
    QPlainTextEdit* text;
};
