#include "ui/tool_window.h"

#include <algorithm>
#include <array>

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace {

QString SettingsKey(const QWidget& window) {
    return QStringLiteral("windows/") + window.objectName();
}

// Keeps the window's size and place whenever it is closed or hidden with its owner.
class GeometryKeeper : public QObject {
  public:
    explicit GeometryKeeper(QWidget& w) : QObject(&w), window(w) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide && !window.objectName().isEmpty())
            QSettings().setValue(SettingsKey(window), window.saveGeometry());
        return false;
    }

  private:
    QWidget& window;
};

int Overlap(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : common.width() * common.height();
}

// The frame moved the least so that it lies in area (its top-left corner when it is larger).
QRect PulledInto(QRect frame, const QRect& area) {
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
    return frame;
}

// The window manager's frame round a window: the owner's when it has one, else room for a
// title bar of two lines and a thin border.
QMargins FrameMargins(const QWidget& window, const QWidget* owner) {
    const QWidget* framed = window.isVisible() ? &window : owner;
    if (framed != nullptr && framed->frameGeometry() != framed->geometry()) {
        const QRect outer = framed->frameGeometry();
        const QRect inner = framed->geometry();
        return {inner.left() - outer.left(), inner.top() - outer.top(),
                outer.right() - inner.right(), outer.bottom() - inner.bottom()};
    }
    return {4, 4 + 2 * window.fontMetrics().height(), 4, 4};
}

}  // namespace

QRect PlaceToolFrame(QSize frame, QRect owner, QRect area, QRect avoid) {
    const std::array<QRect, 4> beside = {
        QRect(QPoint(owner.right() + 1, owner.top()), frame),
        QRect(QPoint(owner.left() - frame.width(), owner.top()), frame),
        QRect(QPoint(owner.left(), owner.bottom() + 1), frame),
        QRect(QPoint(owner.left(), owner.top() - frame.height()), frame),
    };
    for (const QRect& place : beside)
        if (area.contains(place)) return place;
    QRect best;
    int least = -1;
    const std::array<QRect, 4> corners = {
        QRect(area.topLeft(), frame),
        QRect(QPoint(area.right() + 1 - frame.width(), area.top()), frame),
        QRect(QPoint(area.left(), area.bottom() + 1 - frame.height()), frame),
        QRect(QPoint(area.right() + 1 - frame.width(), area.bottom() + 1 - frame.height()), frame),
    };
    for (const auto& places : {beside, corners}) {
        for (const QRect& candidate : places) {
            const QRect place = PulledInto(candidate, area);
            const int covered = Overlap(place, avoid);
            if (least < 0 || covered < least) {
                best = place;
                least = covered;
            }
        }
    }
    return best;
}

void PresentToolWindow(QWidget& window, QSize wanted, const QWidget* avoid, bool& placed) {
    const QWidget* owner =
        window.parentWidget() != nullptr ? window.parentWidget()->window() : nullptr;
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QMargins margins = FrameMargins(window, owner);
    const QSize room = area.size().shrunkBy(margins);
    window.setMinimumSize(QSize(240, 200).boundedTo(room));

    QRect frame;
    if (!placed) {
        window.installEventFilter(new GeometryKeeper(window));
        const QByteArray kept = QSettings().value(SettingsKey(window)).toByteArray();
        if (!kept.isEmpty() && window.restoreGeometry(kept)) {
            frame = QRect(window.pos(), window.size().boundedTo(room).grownBy(margins));
        } else {
            const QRect ownerFrame = owner != nullptr ? owner->frameGeometry() : QRect();
            const QRect avoided =
                avoid != nullptr ? QRect(avoid->mapToGlobal(QPoint()), avoid->size()) : QRect();
            frame =
                PlaceToolFrame(wanted.boundedTo(room).grownBy(margins), ownerFrame, area, avoided);
        }
    } else {
        frame =
            QRect(window.frameGeometry().topLeft(), window.size().boundedTo(room).grownBy(margins));
    }
    frame = PulledInto(frame, area);
    // A window's position is that of its frame: its title bar stays on the screen.
    window.resize(frame.size().shrunkBy(margins));
    window.move(frame.topLeft());
    placed = true;
    window.show();
    window.raise();
    window.activateWindow();
}
