#include "ui/close_key.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace lumigrid {
namespace {

// Takes the release of the key that closed a window, once, wherever it goes. A new key going
// down first means the release went to another program: then the filter goes.
class ReleaseOfTheClosingKey : public QObject {
 public:
  ReleaseOfTheClosingKey(QObject* parent, int key) : QObject(parent), key_(key) {
    qApp->installEventFilter(this);
  }

  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (done_) return false;
    if (event->type() == QEvent::KeyPress) {
      if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) finish();
      return false;
    }
    if (event->type() != QEvent::KeyRelease) return false;
    if (static_cast<QKeyEvent*>(event)->key() != key_) return false;
    finish();
    return true;
  }

 private:
  void finish() {
    done_ = true;
    deleteLater();
  }

  int key_;
  bool done_ = false;
};

}  // namespace

void close_with_ctrl_w(QWidget* window) {
  auto* close = new QAction(window);
  close->setObjectName("CloseWindow");
  close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  close->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(close, &QAction::triggered, window,
                   [window] { close_by_key(window, Qt::Key_W); });
  window->addAction(close);
}

void close_by_key(QWidget* window, int key) {
  new ReleaseOfTheClosingKey(qApp, key);
  window->close();
}

}  // namespace lumigrid
