#include "ui/scroll_thumbs.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionSlider>

namespace {

bool IsLight(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() >= 128;
}

class ThumbStyle : public QProxyStyle {
  public:
    ThumbStyle() : QProxyStyle(QStringLiteral("fusion")) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        // A bar with nothing to scroll keeps the style's own full-length thumb.
        if (control != CC_ScrollBar || bar == nullptr || !(bar->subControls & SC_ScrollBarSlider) ||
            bar->minimum == bar->maximum || !IsLight(bar->palette))
            return;
        const QRect thumb = subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
        if (thumb.isEmpty()) return;
        const QColor window = bar->palette.color(QPalette::Window);
        int shade = 135;
        if (bar->state & State_Sunken) {
            shade = 165;
        } else if ((bar->state & State_MouseOver) &&
                   (bar->activeSubControls & SC_ScrollBarSlider)) {
            shade = 150;
        }
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(window.darker(shade + 40));
        painter->setBrush(window.darker(shade));
        // Inset across the bar, so that the groove shows round it.
        const bool across = bar->orientation == Qt::Horizontal;
        const QRectF shape = QRectF(thumb).adjusted(across ? 0.5 : 2.5, across ? 2.5 : 0.5,
                                                    across ? -0.5 : -2.5, across ? -2.5 : -0.5);
        painter->drawRoundedRect(shape, 3, 3);
        painter->restore();
    }
};

}  // namespace

void UseVisibleScrollThumbs() {
    if (QApplication::style() == nullptr ||
        QApplication::style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0)
        return;
    if (dynamic_cast<ThumbStyle*>(QApplication::style()) != nullptr) return;
    QApplication::setStyle(new ThumbStyle);
}
