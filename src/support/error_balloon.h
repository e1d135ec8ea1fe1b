// The one input-error balloon of the process: a warning tip at the offending control, dismissed
// by the next navigation or function key, typing, shortcut, click or wheel turn anywhere in the
// program, and when the control's window moves, is resized, minimised or deactivated.
// Desktop program only: it needs the window toolkit, so it is not part of the core library.
#pragma once

class QWidget;

// Off Windows the balloon-style setting has no source: the balloon style is used.
bool ReadBalloonSetting();

// Shows the balloon at the control and gives the control the focus; replaces any balloon shown.
// With a null or destroyed control it only hides the balloon shown.
void ShowErrorBalloon(QWidget* control);
// Removes the balloon and its input filter; safe at any time, also from inside the filter.
void HideErrorBalloon();
// The step of ShowErrorBalloon that creates the tip window (owned by parent) and installs the
// filter; false when a balloon is already recorded or the parent is not a window.
bool CreateBalloonWindow(QWidget* parent);

// The tip window shown, or null.
QWidget* ErrorBalloonWindow();
