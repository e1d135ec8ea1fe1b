// A box for a whole number in a range, with its own message beside it: checked as it is typed,
// handed on only when the value is whole and in range and the box is left or Return pressed,
// so that a 1 is never taken while 19 is being typed.
#pragma once

#include <functional>

#include <QWidget>

class QLabel;
class QLineEdit;

class NumberBox : public QWidget {
  public:
    // what names the number in messages ("tag units").
    NumberBox(const QString& what, int least, int most, QWidget* parent = nullptr);

    // Shown without being handed on.
    void SetValue(int value);
    // Told each value taken.
    void OnCommit(std::function<void(int)> commit) { committed = std::move(commit); }
    QLineEdit* Edit() const { return edit; }
    QString Message() const;
    // Why text is not a value of the box, or "".
    QString Problem(const QString& text) const;

  private:
    void Typed();
    void Finished();

    QString what;
    int least;
    int most;
    int shown = 0;
    QLineEdit* edit;
    QLabel* message;
    std::function<void(int)> committed;
};
