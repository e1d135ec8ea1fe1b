#include "ui/tree_copy.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTreeWidget>

QString SelectedRowsText(const QTreeWidget& tree) {
    QString text;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree),
                                    QTreeWidgetItemIterator::Selected);
         *it != nullptr; ++it) {
        QStringList cells;
        for (int column = 0; column < tree.columnCount(); ++column)
            cells << (*it)->text(column);
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

void AddRowCopy(QTreeWidget* tree) {
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    // The view's own Ctrl+C copies one cell of the current row: these keys go to the rows.
    auto* copy = new QAction(QStringLiteral("&Copy"), tree);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, tree, [tree] {
        const QString text = SelectedRowsText(*tree);
        if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
    });
    auto* all = new QAction(QStringLiteral("Select &all"), tree);
    all->setShortcut(QKeySequence::SelectAll);
    all->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(all, &QAction::triggered, tree, &QTreeWidget::selectAll);
    tree->addActions({copy, all});
}
