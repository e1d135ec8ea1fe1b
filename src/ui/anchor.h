// How a control follows its dialog when the dialog is resized. The rule reads only the control's
// template rectangle and the template's size, so that every dialog resizes the same way.
#pragma once

#include <QRect>

#include "ui/dlg_template.h"

struct Anchor {
    bool growX = false;  // keeps its distances to both sides
    bool moveX = false;  // keeps its distance to the right side
    bool growY = false;  // keeps its distances to the top and the bottom
    bool moveY = false;  // keeps its distance to the bottom
};

// A control at least half as wide as the dialog stretches with it; a narrower one stays with
// the side its centre is nearer to. The dialog's tallest control takes the extra height, and
// the controls below it move down with the bottom edge.
Anchor AnchorOf(const DlgTemplate& dialog, const CtlTemplate& control);

// The rectangle after the dialog has grown by (dx, dy) pixels; negative when it shrank.
QRect Follow(QRect rect, Anchor anchor, int dx, int dy);
