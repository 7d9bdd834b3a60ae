#pragma once
// A busy cursor and a progress dialog for the long jobs: the page build and the page save.
#include <QPointer>
#include <QString>
#include <functional>

class QProgressDialog;
class QWidget;

namespace lumigrid {

// A busy cursor and, once the work has taken a moment, a progress dialog, for as long as it
// lives. The callback keeps the windows painted but lets no input in, so nothing the operator
// does can start a second build or save inside the first.
class BusyProgress {
 public:
  BusyProgress(QWidget* owner, const QString& label);
  ~BusyProgress();
  BusyProgress(const BusyProgress&) = delete;
  BusyProgress& operator=(const BusyProgress&) = delete;

  // For the page build and the image export: the fraction done, 0 to 1.
  std::function<void(double)> callback();

 private:
  void advance(double fraction);

  QPointer<QProgressDialog> dialog_;
  int shown_value_ = -1;
};

}  // namespace lumigrid
