// Where a tab control's pages lie: over its display area, each page filling it. When the
// window is smaller than a page (a small screen, a large scale factor), the area scrolls
// instead of shrinking the page, so that every control stays reachable at its own size.
#pragma once

#include <QScrollArea>

class PageArea : public QScrollArea {
  public:
    explicit PageArea(QWidget* dialog);

    // The parent of the pages.
    QWidget* Host() const { return widget(); }
    // Makes room for the page: the area never lets the page shown become smaller than its
    // minimum size, which the page may change after it is adopted.
    void Adopt(QWidget* page);
    // The area whose host is that widget, or null.
    static PageArea* OfHost(const QWidget* host);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FitShownPage();
    void ShowFocused(QWidget* focused);
};
