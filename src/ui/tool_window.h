// The windows that open beside the main window (field details, diagnosis): where they open
// and how they come to the front.
#pragma once

#include <QSize>

class QWidget;

// Shows the window, raised and active. The first time it opens at wanted, centred on its
// owner; later the user's size and place are kept. Either way it is pulled inside the free
// area of the owner's screen. fitted tells and records which time it is.
void PresentToolWindow(QWidget& window, QSize wanted, bool& fitted);
