#pragma once
// A print job made and sent on a worker thread while the windows go on: a progress box with a
// Cancel button while it runs, and its outcome told when it ends.
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
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
  enum class Outcome { Sent, Cancelled, Failed };

  // Keeps `page` alive until the job has ended, whatever happens to the window's page.
  PrintJobRunner(QWidget* owner, std::shared_ptr<const RowSource> page, PrintServer server,
                 PrintPlan plan, PrintJobRequest request);
  // Cancels a job still running and waits for the worker.
  ~PrintJobRunner() override;
  PrintJobRunner(const PrintJobRunner&) = delete;
  PrintJobRunner& operator=(const PrintJobRunner&) = delete;

  void start();
  // What the Cancel button does: the job stops, and nothing is printed.
  void cancel();
  QProgressDialog* progressDialog() const;

 signals:
  // On the window's thread once the job has ended: "Sent to PDF as job 12", the cancellation,
  // or the failure's message in CUPS's words.
  void finished(lumigrid::PrintJobRunner::Outcome outcome, const QString& message);

 private:
  void work();
  void showProgress(double fraction);
  void end();

  std::shared_ptr<const RowSource> page_;
  const PrintServer server_;
  const PrintPlan plan_;
  const PrintJobRequest request_;
  std::atomic<bool> cancel_{false};
  QThread* thread_ = nullptr;
  QPointer<QProgressDialog> dialog_;
  // Written by the worker, read once it has ended.
  Outcome outcome_ = Outcome::Failed;
  QString message_;
};

}  // namespace lumigrid
