#pragma once
// One exchange with the print server made on a worker thread while the windows go on: asking
// the server a first question, asking a queue how it stands, sending a job and following it
// through the queue. A progress box with a Cancel button shows while it runs; Cancel sets the
// flag every server function watches, which ends the exchange within a moment (a job already
// made on the server is purged there). Its outcome is told on the window's thread.
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "print/cups_printing.h"
#include "print/print_layout.h"
#include "surface/row_source.h"

class QProgressDialog;
class QThread;
class QWidget;

namespace lumigrid {

class PrintJobRunner : public QObject {
  Q_OBJECT

 public:
  // Done: the work returned; Cancelled: the operator cancelled it; Failed: it threw.
  enum class Outcome { Done, Cancelled, Failed };

  // What the work may tell the box while it runs; both may be called from the worker.
  struct Report {
    std::function<void(double fraction)> progress;  // 0 to 1
    std::function<void(const QString& label)> label;
  };
  // The exchange, run on the worker: it watches `cancel` (PrintCancelled ends it as a
  // cancellation) and returns the message its outcome is told with.
  using Work = std::function<QString(const std::atomic<bool>* cancel, const Report& report)>;

  // `busy`: the box shows no fraction, only that the work goes on.
  PrintJobRunner(QWidget* owner, const QString& label, Work work, bool busy = false);
  // Cancels an exchange still running and waits for the worker, which every server function
  // ends within a fifth of a second of the cancel, or, for a job the server already has, once
  // it is purged within the purge limit: quitting never waits on the server without limit.
  ~PrintJobRunner() override;
  PrintJobRunner(const PrintJobRunner&) = delete;
  PrintJobRunner& operator=(const PrintJobRunner&) = delete;

  // The page's job: the PDF made and sent, then followed until the queue has taken it through
  // its filters. Done when it completed or is held, waiting on a paused printer among others
  // ("Sent to PDF as job 12" and how it stands); Failed when the queue aborted or cancelled
  // it, or it could not be followed. Keeps `page` alive until the job has ended, whatever
  // happens to the window's page.
  static std::unique_ptr<PrintJobRunner> pageJob(QWidget* owner,
                                                 std::shared_ptr<const RowSource> page,
                                                 PrintServer server, PrintPlan plan,
                                                 PrintJobRequest request);

  void start();
  // What the Cancel button does: the exchange stops, and nothing is printed.
  void cancel();
  QProgressDialog* progressDialog() const;

 signals:
  // On the window's thread once the work has ended: its message, the cancellation, or the
  // failure's message.
  void finished(lumigrid::PrintJobRunner::Outcome outcome, const QString& message);

 private:
  void work();
  void showProgress(double fraction);
  void showLabel(const QString& label);
  void end();

  Work work_;
  std::atomic<bool> cancel_{false};
  QThread* thread_ = nullptr;
  QPointer<QProgressDialog> dialog_;
  // Written by the worker, read once it has ended.
  Outcome outcome_ = Outcome::Failed;
  QString message_;
};

// The message of a job sent and followed to its end, and whether it is a failure: completed
// or held is told ("Sent to PDF as job 12" and the queue's words), aborted or cancelled on the
// server is an error.
struct FollowedJobMessage {
  QString text;
  bool failed = false;
};
FollowedJobMessage followed_job_message(const std::string& queue, int job_id,
                                        const PrintJobOutcome& outcome);

}  // namespace lumigrid
