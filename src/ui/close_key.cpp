#include "ui/close_key.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

namespace lumigrid {

void close_with_ctrl_w(QWidget* window) {
  auto* close = new QAction(window);
  close->setObjectName("CloseWindow");
  close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  close->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(close, &QAction::triggered, window, &QWidget::close);
  window->addAction(close);
}

}  // namespace lumigrid
