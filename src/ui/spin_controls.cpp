#include "ui/spin_controls.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <optional>

namespace {

// A whole number as the edit box shows it, the locale's thousands separator allowed.
std::optional<int> parse_whole_number(const QString& text) {
  const QString trimmed = text.trimmed();
  bool ok = false;
  int value = QLocale().toInt(trimmed, &ok);
  if (!ok) value = QLocale::c().toInt(trimmed, &ok);
  if (!ok) return std::nullopt;
  return value;
}

}  // namespace

UpDownControl::UpDownControl(QLineEdit* edit, int minimum, int maximum, int position,
                             QWidget* parent)
    : QWidget(parent),
      edit_(edit),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)),
      minimum_(minimum),
      maximum_(maximum),
      last_valid_(std::clamp(position, minimum, maximum)) {
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
  edit_->installEventFilter(this);
  showValue(last_valid_);
}

void UpDownControl::setSpeech(const QString& name, const QString& description) {
  setAccessibleName(name);
  setAccessibleDescription(description);
  up_->setAccessibleName(name + QStringLiteral(" up"));
  up_->setAccessibleDescription(description);
  down_->setAccessibleName(name + QStringLiteral(" down"));
  down_->setAccessibleDescription(description);
}

void UpDownControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int upper = height() / 2;
  up_->setGeometry(0, 0, width(), upper);
  down_->setGeometry(0, upper, width(), height() - upper);
}

int UpDownControl::position() const {
  if (const std::optional<int> typed = parse_whole_number(edit_->text());
      typed && *typed >= minimum_ && *typed <= maximum_) {
    last_valid_ = *typed;
  }
  return last_valid_;
}

void UpDownControl::setPosition(int position) {
  const int target = std::clamp(position, minimum_, maximum_);
  if (target == this->position()) return;
  emit changing();
  last_valid_ = target;
  showValue(target);
}

void UpDownControl::step(int delta) {
  setPosition(position() + delta);
}

void UpDownControl::setMaximum(int maximum) {
  const int value = position();  // as read under the old range
  maximum_ = std::max(maximum, minimum_);
  if (value > maximum_) {
    last_valid_ = maximum_;
    showValue(maximum_);
  }
}

void UpDownControl::showValue(int value) {
  edit_->setText(QLocale().toString(value));
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
  // The up-down answers the arrow keys of its edit box.
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
      step(key->key() == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

ScrollBarControl::ScrollBarControl(Qt::Orientation orientation, int minimum, int maximum,
                                   int position, QWidget* parent)
    : QScrollBar(orientation, parent) {
  setRange(minimum, maximum);
  setValue(position);
  // One step for arrow and page clicks alike, and no page size.
  setSingleStep(1);
  setPageStep(1);
  setContextMenuPolicy(Qt::NoContextMenu);
  // Reachable with Tab and by click like an edit box: the keyboard alone moves every parameter.
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QScrollBar::valueChanged, this, &ScrollBarControl::changed);
  connect(this, &QScrollBar::actionTriggered, this, &ScrollBarControl::onActionTriggered);
}

void ScrollBarControl::setPosition(int position) {
  const int target = std::clamp(position, minimum(), maximum());
  if (target == value()) return;
  setValue(target);
}

void ScrollBarControl::onActionTriggered(int action) {
  // Qt has computed the new position but not yet taken it: value() still reads the old one,
  // as the handlers expect.
  const int target = sliderPosition();
  if (action == SliderMove && isSliderDown()) thumb_target_ = target;
  emit scrolled();
  // Whatever the handlers did to this bar, it now takes the action's position (Qt applies
  // sliderPosition() once this returns).
  setSliderPosition(target);
}

void ScrollBarControl::finishAction(int target) {
  emit scrolled();
  setPosition(target);
}

void ScrollBarControl::mousePressEvent(QMouseEvent* event) {
  mouse_gesture_ = true;
  thumb_target_ = value();
  QScrollBar::mousePressEvent(event);
}

void ScrollBarControl::mouseReleaseEvent(QMouseEvent* event) {
  const bool was_dragging = isSliderDown();
  QScrollBar::mouseReleaseEvent(event);
  if (was_dragging && !isSliderDown()) finishAction(thumb_target_);  // the thumb's release
  if (mouse_gesture_ && event->buttons() == Qt::NoButton) {
    mouse_gesture_ = false;
    finishAction(value());  // the end of the gesture
  }
}

void ScrollBarControl::keyReleaseEvent(QKeyEvent* event) {
  QScrollBar::keyReleaseEvent(event);
  if (event->isAutoRepeat()) return;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      finishAction(value());
      break;
    default:
      break;
  }
}

void ScrollBarControl::wheelEvent(QWheelEvent* event) {
  const int before = value();
  QScrollBar::wheelEvent(event);
  if (value() != before) finishAction(value());
}
