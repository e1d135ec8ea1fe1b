#include "ui/tool_window.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

void FitToScreen(QWidget& window, QSize wanted, bool& fitted) {
    const QWidget* owner =
        window.parentWidget() != nullptr ? window.parentWidget()->window() : nullptr;
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    // Room for the frame the window manager adds around the window and its title bar.
    const QSize frame(8, 8 + 2 * window.fontMetrics().height());
    const QSize room = area.size() - frame;
    window.setMinimumSize(QSize(240, 200).boundedTo(room));
    QRect place = fitted ? window.geometry() : QRect(QPoint(), wanted);
    place.setSize(place.size().boundedTo(room));
    if (!fitted && owner != nullptr) place.moveCenter(owner->geometry().center());
    place.moveLeft(
        std::clamp(place.left(), area.left(), area.left() + room.width() - place.width()));
    place.moveTop(std::clamp(place.top(), area.top(), area.top() + room.height() - place.height()));
    window.setGeometry(place);
    fitted = true;
}

}  // namespace

void PresentToolWindow(QWidget& window, QSize wanted, bool& fitted) {
    FitToScreen(window, wanted, fitted);
    window.show();
    window.raise();
    window.activateWindow();
}
