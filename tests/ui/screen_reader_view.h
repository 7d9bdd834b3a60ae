#pragma once
// What a screen reader learns of a window's controls, read through Qt's accessibility interfaces
// as the at-spi bridge reads them.
#include <QAccessible>
#include <QApplication>
#include <QStringList>
#include <QWidget>
#include <QtTest>
#include <algorithm>
#include <utility>
#include <vector>

namespace screen_reader_view {

inline QString accessible_text(QWidget* widget, QAccessible::Text which) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  return face == nullptr ? QString() : face->text(which);
}

// The controls of `window` the keyboard can reach (or that the mouse works: buttons, scroll bars)
// that a screen reader would announce without a name: "objectName (class)" each.
inline QStringList unnamed_controls(QWidget* window) {
  QStringList unnamed;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(window) || widget->window() != window) continue;
    const bool focusable = (widget->focusPolicy() & Qt::TabFocus) != 0;
    const bool mouse_control =
        widget->inherits("QAbstractButton") || widget->inherits("QAbstractSlider");
    if (!focusable && !mouse_control) continue;
    if (accessible_text(widget, QAccessible::Name).trimmed().isEmpty()) {
      unnamed << widget->objectName() + " (" + widget->metaObject()->className() + ")";
    }
  }
  return unnamed;
}

// The child of `window` that holds `widget` (an editable list's edit box stands for its list).
inline QWidget* tab_stop(QWidget* window, QWidget* widget) {
  while (widget != nullptr && widget->parentWidget() != window) widget = widget->parentWidget();
  return widget;
}

// The window's keyboard controls as they are laid out: rows from the top, each from the left.
inline std::vector<QWidget*> layout_order(QWidget* window) {
  std::vector<QWidget*> controls;
  for (QWidget* widget : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (widget->isVisibleTo(window) && widget->isEnabled() &&
        (widget->focusPolicy() & Qt::TabFocus) != 0) {
      controls.push_back(widget);
    }
  }
  std::stable_sort(controls.begin(), controls.end(), [](QWidget* a, QWidget* b) {
    return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
  });
  return controls;
}

// The controls Tab visits in the active `window`, from `first` round to `first` again.
inline std::vector<QWidget*> tab_visits(QWidget* window, QWidget* first, std::size_t bound) {
  first->setFocus(Qt::TabFocusReason);
  std::vector<QWidget*> visits{tab_stop(window, QApplication::focusWidget())};
  while (visits.size() <= bound) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* now = tab_stop(window, QApplication::focusWidget());
    if (now == visits.front()) break;
    visits.push_back(now);
  }
  return visits;
}

inline QStringList names_of(const std::vector<QWidget*>& widgets) {
  QStringList names;
  for (QWidget* widget : widgets) names << (widget == nullptr ? "(none)" : widget->objectName());
  return names;
}

}  // namespace screen_reader_view
