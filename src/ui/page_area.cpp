#include "ui/page_area.h"

#include <algorithm>

#include <QApplication>
#include <QResizeEvent>
#include <QScrollBar>

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

// The least scrolling that brings [from, from + length) into [value, value + room); a span longer
// than the room shows its start.
int ScrollToShow(int value, int room, int from, int length) {
    if (length > room || from < value) return from;
    if (from + length > value + room) return from + length - room;
    return value;
}

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
    page->installEventFilter(this);
    page->setGeometry(QRect(QPoint(), Host()->size().expandedTo(page->minimumSize())));
    FitShownPage();
}

PageArea* PageArea::OfHost(const QWidget* host) {
    if (dynamic_cast<const PageHost*>(host) == nullptr) return nullptr;
    // The host sits in the area's viewport.
    const QWidget* viewport = host->parentWidget();
    return viewport == nullptr ? nullptr : dynamic_cast<PageArea*>(viewport->parentWidget());
}

bool PageArea::eventFilter(QObject* watched, QEvent* event) {
    const bool page = watched->parent() == Host() && !event->spontaneous();
    if (page && event->type() == QEvent::Hide) FitShownPage();
    // A page comes into view at its top-left corner, whatever the page before was scrolled to;
    // a window coming back from the task bar keeps its place.
    if (page && event->type() == QEvent::Show) {
        FitShownPage();
        horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
        verticalScrollBar()->setValue(verticalScrollBar()->minimum());
    }
    return QScrollArea::eventFilter(watched, event);
}

// The host needs the room of the page shown only: a page that can narrow (the Parser page) is
// not kept as wide as the widest page.
void PageArea::FitShownPage() {
    QSize least(0, 0);
    for (QObject* child : Host()->children()) {
        auto* page = qobject_cast<QWidget*>(child);
        if (page == nullptr || page->isWindow() || page->isHidden()) continue;
        least = least.expandedTo(page->minimumSize());
    }
    Host()->setMinimumSize(least);
}

// Only where the keyboard or the program moves the focus: a click lands on what is in view, and
// the page must not jump under the pointer. A control larger than the view shows its top-left.
void PageArea::ShowFocused(QWidget* focused) {
    if (focused == nullptr || !Host()->isAncestorOf(focused) ||
        QApplication::mouseButtons() != Qt::NoButton)
        return;
    constexpr int kMargin = 4;
    const QRect place(focused->mapTo(Host(), QPoint()), focused->size());
    const QRect wanted = place.adjusted(-kMargin, -kMargin, kMargin, kMargin);
    QScrollBar* across = horizontalScrollBar();
    QScrollBar* down = verticalScrollBar();
    across->setValue(ScrollToShow(across->value(), viewport()->width(), std::max(wanted.left(), 0),
                                  wanted.width()));
    down->setValue(ScrollToShow(down->value(), viewport()->height(), std::max(wanted.top(), 0),
                                wanted.height()));
}
