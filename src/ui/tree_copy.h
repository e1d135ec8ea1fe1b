// Copying from the lists of the Field details and Diagnosis windows: the selected rows whole,
// each cell as the window shows it (masked where it masks), by Ctrl+C or the list's menu.
#pragma once

#include <QString>

class QTreeWidget;

// Lets the user select several rows and copy them: Ctrl+C, Ctrl+A and a context menu.
void AddRowCopy(QTreeWidget* tree);
// The selected rows in the order shown, one line each, their cells separated by tabs.
QString SelectedRowsText(const QTreeWidget& tree);
