// Printing from the page viewer on the queues of a real CUPS server: the private one
// tests/print/private_cups.py starts, whose cups-pdf queues write the printed sheets as PDF.
// The print dialog is replaced by a choice of queue; the rest is the viewer's own.
#include <cups/cups.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

#include "ui/application.h"
#include "ui/error_reporting.h"
#include "ui/page_viewer.h"
#include "window_parts.h"

namespace {

// The ids of the jobs the server knows, finished ones included.
QList<int> known_jobs() {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  QList<int> ids;
  for (int i = 0; i < count; ++i) ids << jobs[i].id;
  cupsFreeJobs(count, jobs);
  return ids;
}

// The next message box, once it shows: its text kept, `button` pressed.
void answer_next_box(QMessageBox::StandardButton button, QString* text) {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) {
    QTimer::singleShot(10, [=] { answer_next_box(button, text); });
    return;
  }
  *text = box->text();
  box->button(button)->click();
}

// The paper of the sheet cups-pdf wrote for a job on a queue, as pdfinfo names it.
QString printed_paper(const QString& queue, int job) {
  const QDir folder(qEnvironmentVariable("LUMIGRID_CUPS_PDF_OUT") + "/" + queue);
  QString sheet;
  for (int waited = 0; sheet.isEmpty() && waited < 60000; waited += 100) {
    const QStringList found =
        folder.entryList({"*-job_" + QString::number(job) + ".pdf"}, QDir::Files);
    if (!found.isEmpty()) {
      sheet = folder.filePath(found.first());
      QTest::qWait(500);  // cups-pdf has written the file when its job ends
    } else {
      QTest::qWait(100);
    }
  }
  if (sheet.isEmpty()) return "no sheet for job " + QString::number(job);
  QProcess info;
  info.start("pdfinfo", {sheet});
  info.waitForFinished();
  const auto match = QRegularExpression(R"(Page size:\s+(.*)\n)")
                         .match(QString::fromUtf8(info.readAllStandardOutput()));
  return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

}  // namespace

class PagePrintingCupsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void no_print_server_is_said_before_the_dialog();
  void prints_on_the_chosen_queue_data();
  void prints_on_the_chosen_queue();
  void what_the_queue_cannot_do_is_asked_first_data();
  void what_the_queue_cannot_do_is_asked_first();
  void rejecting_queue_is_an_error();
  void cancelled_job_leaves_nothing();

 private:
  void buildPage(const QString& area_text);
  // The dialog's choice: the queue, the paper the viewer set up kept.
  void choose(const QString& queue);
  int jobNumber(const QString& message) const;

  std::unique_ptr<TForm_Info> viewer_;
  QStringList errors_;
  QStringList outcomes_;
  int dialogs_ = 0;
};

void PagePrintingCupsTest::initTestCase() {
  if (qEnvironmentVariableIsEmpty("CUPS_SERVER") ||
      qEnvironmentVariableIsEmpty("LUMIGRID_CUPS_PDF_OUT")) {
    QSKIP(
        "NOT RUN: start through tests/print/private_cups.py, which starts the private CUPS "
        "server");
  }
}

void PagePrintingCupsTest::init() {
  errors_.clear();
  outcomes_.clear();
  dialogs_ = 0;
  lumigrid::set_error_reporter([this](const QString& message) { errors_ << message; });
  viewer_ = std::make_unique<TForm_Info>();
  viewer_->tell_print_outcome = [this](const QString& message) { outcomes_ << message; };
}

void PagePrintingCupsTest::cleanup() {
  viewer_.reset();
  lumigrid::set_error_reporter({});
  cupsSetServer(nullptr);  // back to CUPS_SERVER
}

void PagePrintingCupsTest::buildPage(const QString& area_text) {
  viewer_->buildPage(area_text, lumigrid::ChartParameters{100, 8, 50});
  QVERIFY(viewer_->page() != nullptr);
}

void PagePrintingCupsTest::choose(const QString& queue) {
  viewer_->choose_printer = [this, queue](QPrinter& printer) {
    ++dialogs_;
    const QPageLayout paper = printer.pageLayout();
    printer.setPrinterName(queue);
    printer.setPageLayout(paper);
    return true;
  };
}

int PagePrintingCupsTest::jobNumber(const QString& message) const {
  const auto match = QRegularExpression(R"(^Sent to \S+ as job (\d+)(\n|$))").match(message);
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

void PagePrintingCupsTest::no_print_server_is_said_before_the_dialog() {
  buildPage("A4 600 dpi 7016x4961");
  choose("PDF");
  const QString dead = QDir::temp().filePath("lumigrid-no-server/cups.sock");
  cupsSetServer(dead.toUtf8().constData());
  QString question;
  QTimer::singleShot(0, [&] { answer_next_box(QMessageBox::No, &question); });
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  // The server is asked on a worker; the question follows its answer.
  QTRY_COMPARE(question, "No printer can be reached: no print server answers at " + dead +
                             " (No such file or directory).\n\nThe print dialog can only save the "
                             "page to a PDF file. Open it anyway?");
  QCOMPARE(dialogs_, 0);
  QCOMPARE(errors_, QStringList());
}

void PagePrintingCupsTest::prints_on_the_chosen_queue_data() {
  QTest::addColumn<QString>("area");
  QTest::addColumn<QString>("queue");
  QTest::addColumn<QString>("paper");  // of the printed sheet, as pdfinfo names it
  QTest::newRow("A4 row") << "A4 600 dpi 7016x4961"
                          << "PDF"
                          << "595 x 842 pts (A4)";
  QTest::newRow("A3 on a queue of A4") << "A3"
                                       << "PDF"
                                       << "842 x 1191 pts (A3)";
  QTest::newRow("A4 on a queue of A3") << "A4"
                                       << "PDF-A3"
                                       << "595 x 842 pts (A4)";
  QTest::newRow("A5") << "A5"
                      << "PDF"
                      << "421 x 595 pts (A5)";
}

void PagePrintingCupsTest::prints_on_the_chosen_queue() {
  QFETCH(QString, area);
  QFETCH(QString, queue);
  QFETCH(QString, paper);
  buildPage(area);
  choose(queue);
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  // The job is made on a worker: the viewer goes on, its Print waits for the job's end.
  QVERIFY(viewer_->printing());
  QVERIFY(!part_of<QAction>(viewer_.get(), "Print1")->isEnabled());
  viewer_->FitIn2Click();
  QTRY_COMPARE_WITH_TIMEOUT(outcomes_.size(), 1, 30000);
  QVERIFY(!viewer_->printing());
  QVERIFY(part_of<QAction>(viewer_.get(), "Print1")->isEnabled());
  QCOMPARE(errors_, QStringList());
  const int job = jobNumber(outcomes_.first());
  QVERIFY2(job > 0, qPrintable(outcomes_.first()));
  // Told once the queue has taken the job through its filters.
  const QString sent = QString("Sent to %1 as job %2").arg(queue).arg(job);
  QCOMPARE(outcomes_.first(), sent + QString("\n\nJob %1 on %2 is completed").arg(job).arg(queue));
  QCOMPARE(printed_paper(queue, job), paper);
}

void PagePrintingCupsTest::what_the_queue_cannot_do_is_asked_first_data() {
  QTest::addColumn<QString>("area");
  QTest::addColumn<QString>("queue");
  QTest::addColumn<QString>("question");
  QTest::addColumn<int>("answer");
  const QString paused =
      "The printer Paused is paused (the server says \"Cleaning the print head\"): the job "
      "waits in its queue until the printer is resumed.\n\nPrint anyway?";
  const QString cut =
      "The printer Office-A4 has no A3 paper (297 x 420 mm): the page goes on its A4 paper "
      "(209.9 x 297 mm).\n\nThe page (A3 paper, 420.0 x 297.0 mm) is larger than the printable "
      "area of the A4 paper of Office-A4 (290.0 x 202.8 mm). Printed at 100 %, only what fits "
      "the sheet is sent: its right and bottom edges are cut off.\n\nPrint anyway?";
  QTest::newRow("paused, sent") << "A4"
                                << "Paused" << paused << int(QMessageBox::Yes);
  QTest::newRow("paper missing, sent") << "A3"
                                       << "Office-A4" << cut << int(QMessageBox::Yes);
  QTest::newRow("paper missing, not sent") << "A3"
                                           << "Office-A4" << cut << int(QMessageBox::No);
}

void PagePrintingCupsTest::what_the_queue_cannot_do_is_asked_first() {
  QFETCH(QString, area);
  QFETCH(QString, queue);
  QFETCH(QString, question);
  QFETCH(int, answer);
  buildPage(area);
  choose(queue);
  const QList<int> before = known_jobs();
  QString asked;
  QTimer::singleShot(0, [&] { answer_next_box(QMessageBox::StandardButton(answer), &asked); });
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  QTRY_COMPARE(asked, question);
  if (answer == QMessageBox::Yes) {
    QTRY_COMPARE_WITH_TIMEOUT(outcomes_.size(), 1, 30000);
    QVERIFY2(jobNumber(outcomes_.first()) > 0, qPrintable(outcomes_.first()));
  } else {
    QVERIFY(!viewer_->printing());
    QCOMPARE(known_jobs(), before);
  }
  QCOMPARE(errors_, QStringList());
  cupsCancelJob2(CUPS_HTTP_DEFAULT, "Paused", 0, 1);  // the held job goes
}

void PagePrintingCupsTest::rejecting_queue_is_an_error() {
  buildPage("A4");
  choose("Rejecting");
  const QList<int> before = known_jobs();
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  QTRY_COMPARE(errors_, QStringList{"Unable to print the page on Rejecting: the printer is not "
                                    "accepting jobs (the server says \"Closed for the night\")"});
  QVERIFY(!viewer_->printing());
  QCOMPARE(outcomes_, QStringList());
  QCOMPARE(known_jobs(), before);
}

void PagePrintingCupsTest::cancelled_job_leaves_nothing() {
  buildPage("A3");
  choose("PDF");
  const QList<int> before = known_jobs();
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  // The job's own progress box, once the server and the queue have answered.
  const auto job_progress = [this] {
    auto* box = qobject_cast<QProgressDialog*>(viewer_->printProgress());
    return box != nullptr && box->labelText().startsWith("Printing the page on") ? box : nullptr;
  };
  QTRY_VERIFY_WITH_TIMEOUT(job_progress() != nullptr, 30000);
  auto* progress = job_progress();
  auto* cancel = progress->findChild<QPushButton*>();
  QVERIFY(cancel != nullptr);
  QCOMPARE(cancel->text(), QString("Cancel"));
  cancel->click();
  QTRY_COMPARE_WITH_TIMEOUT(outcomes_.size(), 1, 30000);
  QCOMPARE(outcomes_.first(), QString("Printing cancelled: nothing is printed on PDF"));
  QCOMPARE(errors_, QStringList());
  // Nothing waits: no job at all, or one cancelled as it reached the server.
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  for (int i = 0; i < count; ++i) {
    if (!before.contains(jobs[i].id)) QCOMPARE(int(jobs[i].state), int(IPP_JSTATE_CANCELED));
  }
  cupsFreeJobs(count, jobs);
}

int main(int argc, char** argv) {
  lumigrid::LumigridApplication app(argc, argv);
  PagePrintingCupsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "page_printing_cups_test.moc"
