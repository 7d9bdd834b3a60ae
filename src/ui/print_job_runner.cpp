#include "ui/print_job_runner.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QThread>
#include <algorithm>
#include <exception>
#include <new>

namespace lumigrid {

namespace {
constexpr int kProgressSteps = 1000;
constexpr int kShowAfterMs = 400;
}  // namespace

PrintJobRunner::PrintJobRunner(QWidget* owner, std::shared_ptr<const RowSource> page,
                               PrintServer server, PrintPlan plan, PrintJobRequest request)
    : page_(std::move(page)),
      server_(std::move(server)),
      plan_(std::move(plan)),
      request_(std::move(request)) {
  dialog_ = new QProgressDialog(
      QString("Printing the page on %1...").arg(QString::fromStdString(request_.queue)),
      QString("Cancel"), 0, kProgressSteps, owner);
  dialog_->setWindowTitle(QCoreApplication::applicationName());
  // Not modal: the windows take input while the job is made.
  dialog_->setWindowModality(Qt::NonModal);
  dialog_->setMinimumDuration(kShowAfterMs);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setValue(0);
  connect(dialog_, &QProgressDialog::canceled, this, &PrintJobRunner::cancel);
}

PrintJobRunner::~PrintJobRunner() {
  if (thread_ != nullptr) {
    cancel_ = true;
    thread_->wait();
    delete thread_;
  }
  delete dialog_.data();
}

void PrintJobRunner::start() {
  thread_ = QThread::create([this] { work(); });
  // Queued to this object's thread, the window's: the worker has ended when it arrives.
  connect(thread_, &QThread::finished, this, &PrintJobRunner::end);
  thread_->start();
}

void PrintJobRunner::cancel() {
  cancel_ = true;
  if (dialog_ != nullptr) dialog_->setLabelText("Cancelling...");
}

QProgressDialog* PrintJobRunner::progressDialog() const {
  return dialog_;
}

void PrintJobRunner::work() {
  const ProgressCallback progress = [this](double fraction) {
    QMetaObject::invokeMethod(
        this, [this, fraction] { showProgress(fraction); }, Qt::QueuedConnection);
  };
  try {
    const int id = send_page_job(server_, *page_, plan_, request_, progress, &cancel_);
    outcome_ = Outcome::Sent;
    message_ = QString::fromStdString(job_sent_message(request_.queue, id));
  } catch (const PrintCancelled& e) {
    outcome_ = Outcome::Cancelled;
    message_ = QString::fromStdString(e.what());
  } catch (const std::bad_alloc&) {
    outcome_ = Outcome::Failed;
    message_ = QString::fromStdString("Unable to print the page on " + request_.queue +
                                      ": not enough memory");
  } catch (const std::exception& e) {
    outcome_ = Outcome::Failed;
    message_ = QString::fromStdString(e.what());
  }
}

void PrintJobRunner::showProgress(double fraction) {
  if (dialog_ != nullptr && !cancel_) {
    dialog_->setValue(int(std::clamp(fraction, 0.0, 1.0) * kProgressSteps));
  }
}

void PrintJobRunner::end() {
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
  page_.reset();
  delete dialog_.data();
  emit finished(outcome_, message_);
}

}  // namespace lumigrid
