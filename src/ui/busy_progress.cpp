#include "ui/busy_progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <algorithm>
#include <memory>

namespace lumigrid {

namespace {
constexpr int kProgressSteps = 1000;
constexpr int kShowAfterMs = 400;
constexpr qint64 kEventsEveryMs = 50;
}  // namespace

BusyProgress::BusyProgress(QWidget* owner, const QString& label) {
  QWidget* parent = QApplication::activeWindow() != nullptr ? QApplication::activeWindow() : owner;
  dialog_ = new QProgressDialog(label, QString(), 0, kProgressSteps, parent);
  dialog_->setWindowTitle(QCoreApplication::applicationName());
  dialog_->setCancelButton(nullptr);
  // Not modal: a modal dialog would let input through while it advances.
  dialog_->setWindowModality(Qt::NonModal);
  // The box never takes the keyboard: keys typed meanwhile wait for the end of the work in the
  // window they were typed into, in their order. Keys sent to the box would be lost with it.
  dialog_->setAttribute(Qt::WA_ShowWithoutActivating);
  dialog_->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
  dialog_->setMinimumDuration(kShowAfterMs);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setValue(0);
  // Last, so that a box that could not be made leaves no wait cursor behind.
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyProgress::~BusyProgress() {
  delete dialog_.data();
  QApplication::restoreOverrideCursor();
}

std::function<void(double)> BusyProgress::callback() {
  auto since_events = std::make_shared<QElapsedTimer>();
  since_events->start();
  return [this, since_events](double fraction) {
    advance(fraction);
    if (since_events->elapsed() >= kEventsEveryMs) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      since_events->restart();
    }
  };
}

void BusyProgress::advance(double fraction) {
  if (dialog_ == nullptr) return;
  const int value = int(std::clamp(fraction, 0.0, 1.0) * kProgressSteps);
  if (value == shown_value_) return;
  shown_value_ = value;
  dialog_->setValue(value);
}

}  // namespace lumigrid
