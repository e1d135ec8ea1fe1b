#include "ui/report_list.h"

#include <QItemSelectionModel>

QModelIndex ReportList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const int rows = model()->rowCount();
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    if (rows == 0) return QTableWidget::moveCursor(action, modifiers);
    switch (action) {
        case MoveHome:
            return model()->index(0, column);
        case MoveEnd:
            return model()->index(rows - 1, column);
        case MoveUp:
        case MoveDown:
            if (!selectionModel()->hasSelection()) {
                // The row made current on entry is no selection: forget it, so that going to
                // that same row selects it.
                selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
                return model()->index(0, column);
            }
            return QTableWidget::moveCursor(action, modifiers);
        default:
            return QTableWidget::moveCursor(action, modifiers);
    }
}
