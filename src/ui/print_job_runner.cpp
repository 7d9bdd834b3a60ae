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

PrintJobRunner::PrintJobRunner(QWidget* owner, const QString& label, Work work, bool busy)
    : work_(std::move(work)) {
  dialog_ = new QProgressDialog(label, QString("Cancel"), 0, busy ? 0 : kProgressSteps, owner);
  dialog_->setWindowTitle(QCoreApplication::applicationName());
  // Not modal, and not taking the keyboard as it shows: the windows take input while the
  // server is asked, and keys typed into them keep going there. The box is a click (or the
  // window manager's switching) away, and Escape there cancels.
  dialog_->setWindowModality(Qt::NonModal);
  dialog_->setAttribute(Qt::WA_ShowWithoutActivating);
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

std::unique_ptr<PrintJobRunner> PrintJobRunner::pageJob(QWidget* owner,
                                                        std::shared_ptr<const RowSource> page,
                                                        PrintServer server, PrintPlan plan,
                                                        PrintJobRequest request) {
  const QString label =
      QString("Printing the page on %1...").arg(QString::fromStdString(request.queue));
  Work work = [page = std::move(page), server = std::move(server), plan = std::move(plan),
               request = std::move(request)](const std::atomic<bool>* cancel,
                                             const Report& report) {
    int id = 0;
    try {
      id = send_page_job(server, *page, plan, request, report.progress, cancel);
    } catch (const std::bad_alloc&) {
      throw Error("Unable to print the page on " + request.queue + ": not enough memory");
    }
    // Sent: the box now follows the job through the queue, in the server's words.
    report.label(QString("Waiting for %1 to take job %2...")
                     .arg(QString::fromStdString(request.queue))
                     .arg(id));
    const auto changed = [&report](const std::string& sentence) {
      report.label(QString::fromStdString(sentence) + "...");
    };
    const FollowedJobMessage told = followed_job_message(
        request.queue, id, follow_print_job(server, request.queue, id, changed, cancel));
    if (told.failed) throw Error(told.text.toStdString());
    return told.text;
  };
  return std::make_unique<PrintJobRunner>(owner, label, std::move(work));
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
  Report report;
  report.progress = [this](double fraction) {
    QMetaObject::invokeMethod(
        this, [this, fraction] { showProgress(fraction); }, Qt::QueuedConnection);
  };
  report.label = [this](const QString& label) {
    QMetaObject::invokeMethod(
        this, [this, label] { showLabel(label); }, Qt::QueuedConnection);
  };
  try {
    message_ = work_(&cancel_, report);
    outcome_ = Outcome::Done;
  } catch (const PrintCancelled& e) {
    outcome_ = Outcome::Cancelled;
    message_ = QString::fromStdString(e.what());
  } catch (const std::bad_alloc&) {
    outcome_ = Outcome::Failed;
    message_ = QString("Unable to print the page: not enough memory");
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

void PrintJobRunner::showLabel(const QString& label) {
  if (dialog_ != nullptr && !cancel_) dialog_->setLabelText(label);
}

void PrintJobRunner::end() {
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
  work_ = nullptr;  // lets go of what the work kept, the page among it
  delete dialog_.data();
  emit finished(outcome_, message_);
}

FollowedJobMessage followed_job_message(const std::string& queue, int job_id,
                                        const PrintJobOutcome& outcome) {
  const QString sent = QString::fromStdString(job_sent_message(queue, job_id));
  const QString said = QString::fromStdString(outcome.message);
  switch (outcome.end) {
    case PrintJobEnd::Completed:
    case PrintJobEnd::Held:
      return {sent + "\n\n" + said, false};
    case PrintJobEnd::Aborted:
    case PrintJobEnd::Canceled:
      break;
  }
  return {said, true};
}

}  // namespace lumigrid
