#include "ui/owned_window.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "ui/x11_window.h"

namespace lumigrid {
namespace {

// Runs as the window is about to be shown: its native window exists and is not mapped yet.
class OwnedWindow : public QObject {
 public:
  OwnedWindow(QWidget* window, QWidget* owner) : QObject(window), owner_(owner) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close) {
      // A close drops the native window while the controls still count as created: the
      // toolkit then takes them for controls of the owner's native window, and the owner's
      // cursor goes to whichever of them was last under the mouse. Once the close is over,
      // the window gets a native window again, unmapped until its next show.
      auto* window = static_cast<QWidget*>(watched);
      QTimer::singleShot(0, window, [window] {
        if (window->isHidden()) window->winId();
      });
      return false;
    }
    if (event->type() != QEvent::Show || owner_ == nullptr) return false;
    auto* window = static_cast<QWidget*>(watched);
    owner_->winId();  // the owner's native window, created hidden if need be
    window->winId();
    if (window->windowHandle() != nullptr) {
      window->windowHandle()->setTransientParent(owner_->windowHandle());
    }
    QTimer::singleShot(0, window, [window, owner = owner_] {
      if (owner != nullptr && window->isVisible()) x11_name_owner(window, owner);
    });
    return false;
  }

 private:
  QPointer<QWidget> owner_;
};

}  // namespace

void make_owned(QWidget* window, QWidget* owner) {
  window->installEventFilter(new OwnedWindow(window, owner));
}

QWidget* first_control(QWidget* window) {
  // The focus chain is the Tab order; it runs through every widget of the window and back.
  for (QWidget* next = window->nextInFocusChain(); next != nullptr && next != window;
       next = next->nextInFocusChain()) {
    if (next->window() != window) continue;
    if ((next->focusPolicy() & Qt::TabFocus) == 0) continue;
    if (!next->isEnabled() || !next->isVisibleTo(window)) continue;
    return next;
  }
  return nullptr;
}

void bring_forward(QWidget* window) {
  window->show();
  window->raise();
  // Set before the activation: the window hands the focus to its focus widget as it activates.
  if (QWidget* control = first_control(window)) {
    control->setFocus(Qt::ActiveWindowFocusReason);
  } else {
    window->setFocus(Qt::ActiveWindowFocusReason);
  }
  window->activateWindow();
}

}  // namespace lumigrid
