#include "support/error_balloon.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QShortcutEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr char kTitle[] = "Unexpected data";
constexpr char kText[] = "Please, enter a correct value for this information.";
constexpr int kTail = 10;    // height of the balloon's pointer
constexpr int kTailAt = 24;  // its distance from the balloon's left edge
constexpr int kRadius = 6;

bool IsLiveWidget(QWidget* w) {
    return w != nullptr && QApplication::allWidgets().contains(w);
}

class BalloonTip : public QWidget {
  public:
    BalloonTip(QWidget* owner, bool balloonStyle)
        : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint), balloon(balloonStyle) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        setObjectName(QStringLiteral("errorBalloon"));
        setPalette(QToolTip_palette());

        auto* icon = new QLabel(this);
        const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
        icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
        auto* title = new QLabel(QString::fromUtf8(kTitle), this);
        title->setObjectName(QStringLiteral("title"));
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        auto* text = new QLabel(QString::fromUtf8(kText), this);
        text->setObjectName(QStringLiteral("text"));

        auto* head = new QHBoxLayout;
        head->setSpacing(6);
        head->addWidget(icon);
        head->addWidget(title, 1);
        auto* body = new QVBoxLayout(this);
        body->setContentsMargins(10, 8 + (balloon ? kTail : 0), 10, 8);
        body->setSpacing(4);
        body->addLayout(head);
        body->addWidget(text);
    }

    // Places the balloon's pointer at a point in global coordinates, on screen.
    void PointAt(QPoint target) {
        adjustSize();
        QPoint topLeft(target.x() - kTailAt, target.y());
        if (const QScreen* screen = QGuiApplication::screenAt(target)) {
            const QRect area = screen->availableGeometry();
            topLeft.setX(std::clamp(topLeft.x(), area.left(),
                                    std::max(area.left(), area.right() - width())));
        }
        tailX = std::clamp(target.x() - topLeft.x(), kRadius + kTail, width() - kRadius - kTail);
        // Without a compositor the translucent corners would show black: cut them off.
        setMask(QRegion(Outline(0).toFillPolygon().toPolygon()));
        move(topLeft);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(palette().color(QPalette::ToolTipText));
        painter.setBrush(palette().color(QPalette::ToolTipBase));
        painter.drawPath(Outline());
    }

  private:
    QPainterPath Outline(qreal inset = 0.5) const {
        const QRectF body =
            QRectF(rect()).adjusted(inset, (balloon ? kTail : 0) + inset, -inset, -inset);
        QPainterPath path;
        path.addRoundedRect(body, balloon ? kRadius : 0, balloon ? kRadius : 0);
        if (!balloon) return path;
        QPainterPath tail;
        tail.moveTo(tailX, inset);
        tail.lineTo(tailX - kTail, body.top() + 1);
        tail.lineTo(tailX + kTail, body.top() + 1);
        tail.closeSubpath();
        return path.united(tail);
    }

    static QPalette QToolTip_palette() {
        QPalette p = QApplication::palette();
        p.setColor(QPalette::Window, p.color(QPalette::ToolTipBase));
        p.setColor(QPalette::WindowText, p.color(QPalette::ToolTipText));
        return p;
    }

    bool balloon;
    int tailX = kTailAt;
};

// Stands for the keyboard and mouse hooks: it sees every input event of the program.
class BalloonFilter : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* event) override;
};

struct BalloonState {
    QPointer<BalloonTip> tip;
    BalloonFilter* filter = nullptr;
    bool balloonTipsEnabled = true;
    // The window of the offending control, where it was when the balloon was shown.
    QPointer<QWidget> window;
    QRect windowGeometry;
};

BalloonState& State() {
    static BalloonState state;
    return state;
}

bool IsSwallowedKey(int key) {
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
            return true;
        default:
            return key >= Qt::Key_F1 && key <= Qt::Key_F24;
    }
}

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_AltGr;
}

// The balloon points at its control: once the window has gone from under it, it points at
// nothing. A frame dragged with the mouse or a window manager's key never reaches the program
// as a press, so the window's own changes are watched.
bool LeavesTheControl(QObject* watched, const QEvent* event) {
    const BalloonState& state = State();
    if (watched != state.window.data()) return false;
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            return state.window->geometry() != state.windowGeometry;
        case QEvent::WindowStateChange:
        case QEvent::WindowDeactivate:
            return true;
        default:
            return false;
    }
}

bool BalloonFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (IsModifierKey(key)) return false;
            HideErrorBalloon();
            // A navigation or function key only dismisses; any other key also acts.
            return IsSwallowedKey(key);
        }
        case QEvent::Shortcut: {
            // A key that makes a shortcut never arrives as a press: its key follows the rule.
            const QKeySequence keys = static_cast<QShortcutEvent*>(event)->key();
            HideErrorBalloon();
            return !keys.isEmpty() && IsSwallowedKey(keys[0].key());
        }
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::Wheel:
            HideErrorBalloon();
            return false;  // the click still acts
        default:
            if (LeavesTheControl(watched, event)) HideErrorBalloon();
            return false;
    }
}

}  // namespace

bool ReadBalloonSetting() {
    State().balloonTipsEnabled = true;
    return State().balloonTipsEnabled;
}

void ShowErrorBalloon(QWidget* control) {
    HideErrorBalloon();
    if (!IsLiveWidget(control)) return;
    QWidget* parent = control->parentWidget();
    if (CreateBalloonWindow(parent)) {
        State().window = control->window();
        State().windowGeometry = control->window()->geometry();
        BalloonTip* tip = State().tip;
        tip->PointAt(control->mapToGlobal(QPoint(control->width() / 2, control->height())));
        tip->show();
    }
    control->setFocus(Qt::OtherFocusReason);
}

bool CreateBalloonWindow(QWidget* parent) {
    BalloonState& state = State();
    if (!state.tip.isNull() || !IsLiveWidget(parent)) return false;
    state.tip = new BalloonTip(parent, state.balloonTipsEnabled);
    if (state.filter == nullptr) {
        state.filter = new BalloonFilter;
        qApp->installEventFilter(state.filter);
    }
    return true;
}

void HideErrorBalloon() {
    BalloonState& state = State();
    if (state.filter != nullptr) {
        qApp->removeEventFilter(state.filter);
        // The filter may be running right now: let it finish before it goes.
        state.filter->deleteLater();
        state.filter = nullptr;
    }
    if (!state.tip.isNull()) {
        state.tip->hide();
        state.tip->deleteLater();  // the event being filtered may be addressed to it
    }
    state.tip = nullptr;
    state.window = nullptr;
}

QWidget* ErrorBalloonWindow() {
    return State().tip.data();
}
