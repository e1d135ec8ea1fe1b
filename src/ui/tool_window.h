// The windows that open beside the main window (field details, diagnosis): where they open,
// how they come to the front, and the size and place they keep across runs.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// Where a window whose frame has that size goes: beside the owner's frame (right, left, below,
// above, the first where the whole frame is in area); where none is, the place in area that
// covers the least of avoid (the message box), among the owner's sides and area's corners.
QRect PlaceToolFrame(QSize frame, QRect owner, QRect area, QRect avoid);

// Shows the window, raised and active. The first time in a run it opens at the size and place it
// was left at in an earlier run (its object name is the key), else at wanted by PlaceToolFrame,
// avoiding the widget avoid (may be null); later the user's size and place are kept. Either way
// its whole frame is pulled onto the owner's screen. placed tells and records which time it is.
void PresentToolWindow(QWidget& window, QSize wanted, const QWidget* avoid, bool& placed);
