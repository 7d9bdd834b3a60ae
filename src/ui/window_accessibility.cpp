#include "ui/window_accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>
#include <QString>
#include <QWidget>

namespace lumigrid {
namespace {

// A plain widget shown as a window is a "client" to the toolkit, which the at-spi bridge reports
// as a filler; windows of ours carry this mark and are given the role of a window instead.
constexpr const char* kAnnouncedWindow = "lumigrid_announced_window";

QAccessibleInterface* window_interface(const QString& class_name, QObject* object) {
  if (object == nullptr || !object->isWidgetType() || !object->property(kAnnouncedWindow).toBool())
    return nullptr;
  // The factory is asked once per class of the object's hierarchy, most derived first.
  if (class_name != QLatin1String(object->metaObject()->className())) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  const QAccessible::Role role =
      qobject_cast<QDialog*>(widget) != nullptr ? QAccessible::Dialog : QAccessible::Window;
  return new QAccessibleWidget(widget, role);
}

}  // namespace

void announce_window(QWidget* window, const QString& description) {
  static const bool kFactoryInstalled = [] {
    QAccessible::installFactory(window_interface);
    return true;
  }();
  Q_UNUSED(kFactoryInstalled);
  window->setProperty(kAnnouncedWindow, true);
  window->setAccessibleDescription(description);
}

}  // namespace lumigrid
