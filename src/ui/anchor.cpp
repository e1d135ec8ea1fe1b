#include "ui/anchor.h"

namespace {

const CtlTemplate* TallestOf(const DlgTemplate& dialog) {
    const CtlTemplate* tallest = nullptr;
    for (const CtlTemplate& c : dialog.controls) {
        if (tallest == nullptr || c.cy > tallest->cy) tallest = &c;
    }
    return tallest;
}

}  // namespace

Anchor AnchorOf(const DlgTemplate& dialog, const CtlTemplate& control) {
    Anchor anchor;
    anchor.growX = 2 * control.cx >= dialog.cx;
    anchor.moveX = !anchor.growX && 2 * control.x + control.cx > dialog.cx;
    const CtlTemplate* tallest = TallestOf(dialog);
    anchor.growY = tallest == &control;
    anchor.moveY = !anchor.growY && tallest != nullptr && control.y >= tallest->y + tallest->cy;
    return anchor;
}

QRect Follow(QRect rect, Anchor anchor, int dx, int dy) {
    if (anchor.growX) rect.setWidth(rect.width() + dx);
    if (anchor.moveX) rect.translate(dx, 0);
    if (anchor.growY) rect.setHeight(rect.height() + dy);
    if (anchor.moveY) rect.translate(0, dy);
    return rect;
}
