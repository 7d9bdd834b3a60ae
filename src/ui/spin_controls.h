#pragma once
// Thin wrappers that give Qt's edit boxes and scroll bars the notification rules the adjust
// window's handlers are written against:
//  - an up-down announces a change (`changing`) before its value changes, and only when the
//    value really changes, whether the operator steps it or the program sets it;
//  - an up-down's value is the number in its edit box when that is a whole number within range,
//    otherwise its last valid value; every change of the value rewrites the edit box's text;
//  - a scroll bar announces `changed` after its position moved, by the operator or the program;
//  - a scroll bar announces `scrolled` for every operator action (arrow or page click, each
//    step of a thumb drag, the thumb's release, the end of the gesture) before it takes the
//    action's new position, and takes that position after the handlers return.
#include <QScrollBar>
#include <QWidget>
#include <cstdint>

class QLineEdit;
class QToolButton;

class UpDownControl : public QWidget {
  Q_OBJECT

 public:
  // Bound to `edit`, whose text it sets to `position`.
  UpDownControl(QLineEdit* edit, int minimum, int maximum, int position, QWidget* parent);

  QLineEdit* associate() const { return edit_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  // A lowered maximum pulls the value down to it (rewriting the edit box, without `changing`).
  void setMaximum(int maximum);

  int position() const;
  // Clamped to the range; announces `changing` first unless the value stays as it is.
  void setPosition(int position);
  // What one click on an arrow does.
  void step(int delta);
  // What a screen reader calls the up-down and its two arrows ("H up", "H down").
  void setSpeech(const QString& name, const QString& description);

 signals:
  // The value is about to change: position() still gives the old one.
  void changing();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void showValue(int value);

  QLineEdit* edit_;
  QToolButton* up_;
  QToolButton* down_;
  int minimum_;
  int maximum_;
  mutable int last_valid_;
};

class ScrollBarControl : public QScrollBar {
  Q_OBJECT

 public:
  ScrollBarControl(Qt::Orientation orientation, int minimum, int maximum, int position,
                   QWidget* parent);

  int position() const { return value(); }
  // Clamped to the range; `changed` only when the position moves.
  void setPosition(int position);

 signals:
  void changed();   // after the position changed
  void scrolled();  // an operator action, before the bar takes the action's position

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void onActionTriggered(int action);
  // An action whose handlers run first, after which the bar takes `target`.
  void finishAction(int target);

  int thumb_target_ = 0;
  bool mouse_gesture_ = false;
};
