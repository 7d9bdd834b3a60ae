#pragma once
// A window's parts are its own: a test finds one by the object name the window gives it, which
// is the part's historical name.
#include <QObject>
#include <QString>
#include <QtGlobal>

// The part of `window` named `name`; a missing part ends the test run at once, naming it.
template <typename Part>
Part* part_of(const QObject* window, const char* name) {
  auto* found = window->findChild<Part*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("%s has no part named %s", window->metaObject()->className(), name);
  return found;
}
