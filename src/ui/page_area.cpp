#include "ui/page_area.h"

#include <QApplication>
#include <QResizeEvent>

namespace {

// Every page fills the host: they lie on top of each other, one shown at a time.
class PageHost : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void resizeEvent(QResizeEvent* event) override {
        for (QObject* child : children()) {
            if (auto* page = qobject_cast<QWidget*>(child); page != nullptr && !page->isWindow())
                page->setGeometry(QRect(QPoint(), event->size()));
        }
    }
};

}  // namespace

PageArea::PageArea(QWidget* dialog) : QScrollArea(dialog) {
    setObjectName(QStringLiteral("pageArea"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
    // The tab control's panel shows through, as it does behind a page laid over it.
    viewport()->setAutoFillBackground(false);
    auto* host = new PageHost;
    host->setObjectName(QStringLiteral("pageHost"));
    host->setAutoFillBackground(false);
    setWidget(host);
    // A control reached with the keyboard comes into view, as a click would need it to be.
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { ShowFocused(now); });
}

void PageArea::Adopt(QWidget* page) {
    Host()->setMinimumSize(Host()->minimumSize().expandedTo(page->minimumSize()));
    page->setGeometry(QRect(QPoint(), Host()->size().expandedTo(page->minimumSize())));
}

PageArea* PageArea::OfHost(const QWidget* host) {
    if (dynamic_cast<const PageHost*>(host) == nullptr) return nullptr;
    // The host sits in the area's viewport.
    const QWidget* viewport = host->parentWidget();
    return viewport == nullptr ? nullptr : dynamic_cast<PageArea*>(viewport->parentWidget());
}

void PageArea::ShowFocused(QWidget* focused) {
    if (focused == nullptr || !Host()->isAncestorOf(focused)) return;
    ensureWidgetVisible(focused, 4, 4);
}
