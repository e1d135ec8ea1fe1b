#include "ui/list_info_tip.h"

#include <QHelpEvent>
#include <QStyle>
#include <QTableWidget>
#include <QToolTip>

namespace {

// Whether the cell's text is wider than the room the item view leaves it, margins included.
bool IsCut(const QTableWidget& list, const QModelIndex& index, const QString& text) {
    const int margin = list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1;
    const int width = list.fontMetrics().horizontalAdvance(text) + 2 * margin;
    return width > list.visualRect(index).width();
}

class InfoTipFilter : public QObject {
  public:
    explicit InfoTipFilter(QTableWidget* l) : QObject(l), list(l) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = list->indexAt(help->pos());
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!index.isValid() || text.isEmpty() || !IsCut(*list, index, text)) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), text, list->viewport(), list->visualRect(index));
        }
        return true;
    }

  private:
    QTableWidget* list;
};

}  // namespace

void EnableListInfoTips(QTableWidget* list) {
    if (list == nullptr || list->property("infoTips").toBool()) return;
    list->setProperty("infoTips", true);
    list->viewport()->installEventFilter(new InfoTipFilter(list));
}
