// The input error balloon: which keys and clicks dismiss it, which of them still act, and that
// there is never more than one.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtTest>

#include "support/error_balloon.h"

namespace {

// Counts the key presses that reach a widget past the application's filters.
class KeyCounter : public QObject {
  public:
    int presses = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) ++presses;
        return false;
    }
};

struct Window {
    QWidget window;
    QLineEdit* edit;
    QLineEdit* other;
    QPushButton* button;
    KeyCounter counter;
    int clicks = 0;

    Window() {
        auto* layout = new QVBoxLayout(&window);
        edit = new QLineEdit(&window);
        other = new QLineEdit(&window);
        button = new QPushButton(QStringLiteral("Press"), &window);
        layout->addWidget(edit);
        layout->addWidget(other);
        layout->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        edit->installEventFilter(&counter);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    ~Window() { HideErrorBalloon(); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
};

}  // namespace

class ErrorBalloonTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void balloonShowsWarningAtControlAndTakesFocus();
    void keyPressesFollowTheDismissRules_data();
    void keyPressesFollowTheDismissRules();
    void keyReleaseNeverDismisses();
    void mousePressesDismissAndStillAct_data();
    void mousePressesDismissAndStillAct();
    void mouseReleaseNeverDismisses();
    void aSecondBalloonReplacesTheFirst();
    void absentControlOnlyHidesAndKeepsFocus();
    void hideWithNothingShownDoesNothing();
    void windowChangesDismiss_data();
    void windowChangesDismiss();
    void shortcutKeysFollowTheDismissRules_data();
    void shortcutKeysFollowTheDismissRules();
    void withoutASettingTheTipIsABalloonWithItsPointer();
};

void ErrorBalloonTest::balloonShowsWarningAtControlAndTakesFocus() {
    Window w;
    w.other->setFocus();
    ShowErrorBalloon(w.edit);
    QWidget* tip = ErrorBalloonWindow();
    QVERIFY(tip != nullptr && tip->isVisible());
    QTRY_VERIFY(w.edit->hasFocus());
    QCOMPARE(tip->findChild<QLabel*>(QStringLiteral("title"))->text(),
             QStringLiteral("Unexpected data"));
    QCOMPARE(tip->findChild<QLabel*>(QStringLiteral("text"))->text(),
             QStringLiteral("Please, enter a correct value for this information."));
    bool hasIcon = false;
    for (QLabel* label : tip->findChildren<QLabel*>())
        hasIcon = hasIcon || !label->pixmap().isNull();
    QVERIFY(hasIcon);
    const QPoint below = w.edit->mapToGlobal(QPoint(w.edit->width() / 2, w.edit->height()));
    QVERIFY(tip->geometry().top() >= below.y() - 1);
    QVERIFY(tip->geometry().left() <= below.x() && tip->geometry().right() >= below.x());
}

void ErrorBalloonTest::keyPressesFollowTheDismissRules_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("dismissed");
    QTest::addColumn<bool>("reachesControl");

    QTest::newRow("Tab only dismisses") << int(Qt::Key_Tab) << true << false;
    QTest::newRow("Shift+Tab only dismisses") << int(Qt::Key_Backtab) << true << false;
    QTest::newRow("Return only dismisses") << int(Qt::Key_Return) << true << false;
    QTest::newRow("keypad Enter only dismisses") << int(Qt::Key_Enter) << true << false;
    QTest::newRow("Escape only dismisses") << int(Qt::Key_Escape) << true << false;
    QTest::newRow("Left only dismisses") << int(Qt::Key_Left) << true << false;
    QTest::newRow("Up only dismisses") << int(Qt::Key_Up) << true << false;
    QTest::newRow("Right only dismisses") << int(Qt::Key_Right) << true << false;
    QTest::newRow("Down only dismisses") << int(Qt::Key_Down) << true << false;
    QTest::newRow("F1 only dismisses") << int(Qt::Key_F1) << true << false;
    QTest::newRow("F24 only dismisses") << int(Qt::Key_F24) << true << false;
    QTest::newRow("Shift leaves it") << int(Qt::Key_Shift) << false << true;
    QTest::newRow("Ctrl leaves it") << int(Qt::Key_Control) << false << true;
    QTest::newRow("Alt leaves it") << int(Qt::Key_Alt) << false << true;
    QTest::newRow("a letter dismisses and is typed") << int(Qt::Key_A) << true << true;
    QTest::newRow("a digit dismisses and is typed") << int(Qt::Key_7) << true << true;
    QTest::newRow("Delete dismisses and acts") << int(Qt::Key_Delete) << true << true;
    QTest::newRow("Home dismisses and acts") << int(Qt::Key_Home) << true << true;
    QTest::newRow("Space dismisses and acts") << int(Qt::Key_Space) << true << true;
}

void ErrorBalloonTest::keyPressesFollowTheDismissRules() {
    QFETCH(int, key);
    QFETCH(bool, dismissed);
    QFETCH(bool, reachesControl);
    Window w;
    ShowErrorBalloon(w.edit);
    QTRY_VERIFY(w.edit->hasFocus());
    QTest::keyPress(w.edit, Qt::Key(key));
    QCOMPARE(ErrorBalloonWindow() == nullptr, dismissed);
    QCOMPARE(w.counter.presses > 0, reachesControl);
    QVERIFY(w.edit->hasFocus());  // a swallowed Tab moves nothing
    if (key == Qt::Key_A) QCOMPARE(w.edit->text(), QStringLiteral("a"));
}

void ErrorBalloonTest::keyReleaseNeverDismisses() {
    Window w;
    ShowErrorBalloon(w.edit);
    QTest::keyRelease(w.edit, Qt::Key_Escape);
    QTest::keyRelease(w.edit, Qt::Key_A);
    QVERIFY(ErrorBalloonWindow() != nullptr);
}

void ErrorBalloonTest::mousePressesDismissAndStillAct_data() {
    QTest::addColumn<int>("button");
    QTest::newRow("left button") << int(Qt::LeftButton);
    QTest::newRow("right button") << int(Qt::RightButton);
    QTest::newRow("middle button") << int(Qt::MiddleButton);
}

void ErrorBalloonTest::mousePressesDismissAndStillAct() {
    QFETCH(int, button);
    Window w;
    ShowErrorBalloon(w.edit);
    QTest::mouseClick(w.button, Qt::MouseButton(button));
    QVERIFY(ErrorBalloonWindow() == nullptr);
    QCOMPARE(w.clicks, button == Qt::LeftButton ? 1 : 0);

    ShowErrorBalloon(w.edit);
    QMouseEvent frame(QEvent::NonClientAreaMouseButtonPress, QPointF(2, -5), QPointF(2, -5),
                      QPointF(w.window.mapToGlobal(QPoint(2, -5))), Qt::MouseButton(button),
                      Qt::MouseButton(button), Qt::NoModifier);
    QApplication::sendEvent(&w.window, &frame);
    QVERIFY(ErrorBalloonWindow() == nullptr);

    ShowErrorBalloon(w.edit);
    QWheelEvent wheel(QPointF(5, 5), QPointF(w.other->mapToGlobal(QPoint(5, 5))), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.other, &wheel);
    QVERIFY(ErrorBalloonWindow() == nullptr);
}

void ErrorBalloonTest::mouseReleaseNeverDismisses() {
    Window w;
    ShowErrorBalloon(w.edit);
    QTest::mouseRelease(w.button, Qt::LeftButton);
    QTest::mouseMove(w.other);
    QVERIFY(ErrorBalloonWindow() != nullptr);
}

void ErrorBalloonTest::aSecondBalloonReplacesTheFirst() {
    Window w;
    ShowErrorBalloon(w.edit);
    QWidget* first = ErrorBalloonWindow();
    ShowErrorBalloon(w.other);
    QWidget* second = ErrorBalloonWindow();
    QVERIFY(second != nullptr && second != first);
    int shown = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QStringLiteral("errorBalloon") && top->isVisible()) ++shown;
    }
    QCOMPARE(shown, 1);
    QTRY_VERIFY(w.other->hasFocus());
    QVERIFY(!CreateBalloonWindow(&w.window));  // one is recorded already
}

void ErrorBalloonTest::absentControlOnlyHidesAndKeepsFocus() {
    Window w;
    ShowErrorBalloon(w.edit);
    w.other->setFocus();
    QTRY_VERIFY(w.other->hasFocus());
    ShowErrorBalloon(nullptr);
    QVERIFY(ErrorBalloonWindow() == nullptr);
    QVERIFY(w.other->hasFocus());
}

void ErrorBalloonTest::hideWithNothingShownDoesNothing() {
    HideErrorBalloon();
    HideErrorBalloon();
    QVERIFY(ErrorBalloonWindow() == nullptr);
}

void ErrorBalloonTest::windowChangesDismiss_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("moved") << "move";
    QTest::newRow("resized") << "resize";
    QTest::newRow("minimised") << "minimise";
    QTest::newRow("deactivated") << "deactivate";
}

void ErrorBalloonTest::windowChangesDismiss() {
    QFETCH(QString, change);
    Window w;
    QWidget other;
    ShowErrorBalloon(w.edit);
    QTest::qWait(20);
    QVERIFY(ErrorBalloonWindow() != nullptr);  // showing it changed nothing
    if (change == "move") w.window.move(w.window.pos() + QPoint(40, 30));
    if (change == "resize") w.window.resize(w.window.size() + QSize(40, 30));
    if (change == "minimise") w.window.showMinimized();
    if (change == "deactivate") {
        other.show();
        other.activateWindow();
    }
    QTRY_VERIFY(ErrorBalloonWindow() == nullptr);
}

void ErrorBalloonTest::shortcutKeysFollowTheDismissRules_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("acts");
    QTest::newRow("Ctrl+Tab only dismisses, as Tab") << int(Qt::Key_Tab) << false;
    QTest::newRow("Ctrl+F5 only dismisses, as F5") << int(Qt::Key_F5) << false;
    QTest::newRow("Ctrl+PgDown dismisses and acts") << int(Qt::Key_PageDown) << true;
    QTest::newRow("Ctrl+S dismisses and acts") << int(Qt::Key_S) << true;
}

void ErrorBalloonTest::shortcutKeysFollowTheDismissRules() {
    QFETCH(int, key);
    QFETCH(bool, acts);
    Window w;
    QShortcut shortcut(QKeySequence(Qt::CTRL | Qt::Key(key)), &w.window);
    int activated = 0;
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++activated; });
    ShowErrorBalloon(w.edit);
    QTest::keyClick(w.edit, Qt::Key(key), Qt::ControlModifier);
    QVERIFY(ErrorBalloonWindow() == nullptr);
    QCOMPARE(activated, acts ? 1 : 0);
}

void ErrorBalloonTest::withoutASettingTheTipIsABalloonWithItsPointer() {
    QVERIFY(ReadBalloonSetting());
    Window w;
    ShowErrorBalloon(w.edit);
    QWidget* tip = ErrorBalloonWindow();
    // The pointer stands above the rounded body: the window is cut to more than a rectangle.
    QVERIFY(!tip->mask().isEmpty());
    QVERIFY(tip->mask().rectCount() > 1);
    QVERIFY(!tip->mask().contains(QPoint(1, 1)));
}

QTEST_MAIN(ErrorBalloonTest)
#include "error_balloon_test.moc"
