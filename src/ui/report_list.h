// The report list view: rows of columns, moved through row by row as a list view is.
#pragma once

#include <QTableWidget>

class ReportList : public QTableWidget {
  public:
    using QTableWidget::QTableWidget;

  protected:
    // Home and End go to the first and last row (a table would go to the first and last
    // column), and Up or Down in a list without selection selects the first row (a table
    // would move on from the cell it made current on entry, skipping that row).
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};
