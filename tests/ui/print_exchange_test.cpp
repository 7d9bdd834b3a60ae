// The viewer against a print server that takes connections and never answers (a listener of
// this test on 127.0.0.1): nothing waits on it on the window's thread, the operator reads that
// it did not answer, and Cancel or closing ends an exchange with it at once. And a job followed
// on the fake print server of tests/print/ until it completes, is aborted or held: its end is
// told, in the server's words.
#include <cups/cups.h>

#include <QAction>
#include <QApplication>
#include <QHostAddress>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <atomic>
#include <memory>
#include <optional>

#include "page/page_build.h"
#include "print/cups_printing.h"
#include "print/print_layout.h"
#include "ui/application.h"
#include "ui/error_reporting.h"
#include "ui/page_viewer.h"
#include "ui/print_job_runner.h"
#include "window_parts.h"

Q_DECLARE_METATYPE(lumigrid::PrintJobRunner::Outcome)

namespace {

// Takes every connection and says nothing on any of them; keeps them until they are closed
// from the other end.
class SilentServer {
 public:
  SilentServer() {
    QObject::connect(&listener_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = listener_.nextPendingConnection()) {
        ++taken_;
        QObject::connect(socket, &QTcpSocket::disconnected, [this] { ++closed_; });
      }
    });
    if (!listener_.listen(QHostAddress::LocalHost, 0)) qFatal("no listener on 127.0.0.1");
  }
  int port() const { return listener_.serverPort(); }
  lumigrid::PrintServer server() const { return {"127.0.0.1", port(), {}}; }
  int taken() const { return taken_; }
  // Every connection taken has been closed by the program.
  bool allClosed() const { return taken_ > 0 && closed_ == taken_; }

 private:
  QTcpServer listener_;
  int taken_ = 0;
  int closed_ = 0;
};

// tests/print/fake_ipp_server.py on 127.0.0.1, for as long as it lives; each queue name is one
// of its scenarios.
class FakeIppServer {
 public:
  FakeIppServer() {
    process_.start(LUMIGRID_PYTHON, {LUMIGRID_FAKE_IPP_SERVER});
    if (!process_.waitForStarted() || !process_.waitForReadyRead(30000)) {
      qFatal("the fake print server did not start");
    }
    port_ = process_.readLine().trimmed().toInt();
    if (port_ <= 0) qFatal("the fake print server named no port");
  }
  ~FakeIppServer() {
    process_.closeWriteChannel();  // it ends when its input closes
    if (!process_.waitForFinished(10000)) process_.kill();
  }
  FakeIppServer(const FakeIppServer&) = delete;
  FakeIppServer& operator=(const FakeIppServer&) = delete;
  lumigrid::PrintServer server() const { return {"127.0.0.1", port_, {}}; }

 private:
  QProcess process_;
  int port_ = 0;
};

}  // namespace

class PrintExchangeTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void exchange_ends_at_once_data();
  void exchange_ends_at_once();
  void silent_server_is_said_and_no_dialog_opens();
  void followed_job_end_is_told_data();
  void followed_job_end_is_told();

 private:
  std::unique_ptr<lumigrid::PrintJobRunner> runnerFor(const QString& stage,
                                                      const lumigrid::PrintServer& server,
                                                      const std::string& queue = "Office");

  std::unique_ptr<SilentServer> server_;
  std::unique_ptr<QWidget> owner_;
  QStringList errors_;
};

void PrintExchangeTest::init() {
  server_ = std::make_unique<SilentServer>();
  owner_ = std::make_unique<QWidget>();
  errors_.clear();
  lumigrid::set_error_reporter([this](const QString& message) { errors_ << message; });
}

void PrintExchangeTest::cleanup() {
  owner_.reset();
  server_.reset();
  lumigrid::set_error_reporter({});
  cupsSetServer(nullptr);
}

std::unique_ptr<lumigrid::PrintJobRunner> PrintExchangeTest::runnerFor(
    const QString& stage, const lumigrid::PrintServer& server, const std::string& queue_name) {
  if (stage == "question") {
    return std::make_unique<lumigrid::PrintJobRunner>(
        owner_.get(), "Asking the print server...",
        [server](const std::atomic<bool>* cancel, const lumigrid::PrintJobRunner::Report&) {
          return QString::fromStdString(
              lumigrid::print_server_problem(server, cancel).value_or("answered"));
        },
        true);
  }
  // A page's job: the PDF is made, then sent to a server that never lets it in.
  lumigrid::PageRequest request;
  request.chart = lumigrid::ChartParameters{100, 8, 50};
  const std::shared_ptr<const lumigrid::ChartPage> page =
      lumigrid::build_chart_page(u"qHD 960x540", request).page;
  lumigrid::PrintQueue queue;
  queue.name = queue_name;
  queue.media.push_back({"iso_a4_210x297mm", 21000, 29700, 500, 500, 500, 500});
  queue.default_media = queue.media.front();
  const lumigrid::PrintPlan plan =
      lumigrid::plan_print(queue, page->width(), page->height(), std::nullopt, std::nullopt);
  lumigrid::PrintJobRequest job;
  job.queue = queue_name;
  job.job_name = "qHD 960x540";
  return lumigrid::PrintJobRunner::pageJob(owner_.get(), page, server, plan, job);
}

void PrintExchangeTest::exchange_ends_at_once_data() {
  QTest::addColumn<QString>("stage");
  QTest::addColumn<bool>("by_cancel");  // else the runner goes, as when the program ends
  QTest::addColumn<int>("outcome");     // after Cancel
  QTest::addColumn<QString>("said");    // the start of what the operator reads then
  const int cancelled = int(lumigrid::PrintJobRunner::Outcome::Cancelled);
  const int failed = int(lumigrid::PrintJobRunner::Outcome::Failed);
  QTest::newRow("question, Cancel")
      << "question" << true << cancelled << "Printing cancelled: nothing is printed";
  QTest::newRow("question, closed") << "question" << false << 0 << QString();
  // The small page's document is all in the connection's buffers: the server has it, and does
  // not confirm the purge either. That is said, within the viewer's purge limit.
  QTest::newRow("job, Cancel") << "job" << true << failed
                               << "Unable to print the page on Office: printing was cancelled, "
                                  "but the print server at 127.0.0.1:";
  QTest::newRow("job, closed") << "job" << false << 0 << QString();
}

void PrintExchangeTest::exchange_ends_at_once() {
  QFETCH(QString, stage);
  QFETCH(bool, by_cancel);
  QFETCH(int, outcome);
  QFETCH(QString, said);
  qRegisterMetaType<lumigrid::PrintJobRunner::Outcome>();
  lumigrid::PrintServer server = server_->server();
  server.limits.purge = lumigrid::kPrintPurgeWithinSecond;  // as the viewer has it
  auto runner = runnerFor(stage, server);
  QSignalSpy finished(runner.get(), &lumigrid::PrintJobRunner::finished);
  runner->start();
  // The exchange waits on the server, which took the connection.
  QTRY_VERIFY_WITH_TIMEOUT(server_->taken() > 0, 30000);
  QVERIFY(finished.isEmpty());
  if (by_cancel) {
    auto* cancel = runner->progressDialog()->findChild<QPushButton*>();
    QVERIFY(cancel != nullptr);
    cancel->click();
    // Ended by the Cancel, not by the server's limit passing.
    QTRY_COMPARE(finished.size(), 1);
    const QString message = finished.first().at(1).toString();
    QVERIFY2(int(finished.first().at(0).value<lumigrid::PrintJobRunner::Outcome>()) == outcome,
             qPrintable(message));
    QVERIFY2(message.startsWith(said), qPrintable(message));
  } else {
    runner.reset();  // returns once the worker has let go of the server
  }
  QTRY_VERIFY(server_->allClosed());
  QCOMPARE(errors_, QStringList());
}

void PrintExchangeTest::silent_server_is_said_and_no_dialog_opens() {
  TForm_Info viewer;
  viewer.buildPage("qHD 960x540", lumigrid::ChartParameters{100, 8, 50});
  int dialogs = 0;
  viewer.choose_printer = [&](QPrinter&) {
    ++dialogs;
    return false;
  };
  const QByteArray address = "127.0.0.1:" + QByteArray::number(server_->port());
  cupsSetServer(address.constData());
  part_of<QAction>(&viewer, "Print1")->trigger();
  // Print returned to the window at once: the server is asked on a worker.
  QVERIFY(viewer.printing());
  QTRY_VERIFY_WITH_TIMEOUT(!viewer.printing(), 30000);
  QCOMPARE(errors_, QStringList{"No printer can be reached: the print server at " +
                                QString::fromLatin1(address) + " did not answer within 5 s."});
  QCOMPARE(dialogs, 0);
  QVERIFY(server_->allClosed());
}

void PrintExchangeTest::followed_job_end_is_told_data() {
  QTest::addColumn<QString>("scenario");  // the fake server's, the queue's name
  QTest::addColumn<int>("outcome");
  QTest::addColumn<QString>("said");  // what the operator reads, as a pattern
  const int done = int(lumigrid::PrintJobRunner::Outcome::Done);
  const int failed = int(lumigrid::PrintJobRunner::Outcome::Failed);
  QTest::newRow("completed") << "good" << done
                             << R"(^Sent to good as job (\d+)\n\nJob \1 on good is completed$)";
  QTest::newRow("held") << "held" << done
                        << R"(^Sent to held as job (\d+)\n\nJob \1 on held is held: the server )"
                           R"(says "Held for authentication")";
  // An error, the server's words cleaned of its control characters.
  QTest::newRow("aborted") << "aborted" << failed
                           << R"(^Job \d+ on aborted was aborted: the server says "Filter )"
                              R"(failed[^\x{1b}]*$)";
}

void PrintExchangeTest::followed_job_end_is_told() {
  QFETCH(QString, scenario);
  QFETCH(int, outcome);
  QFETCH(QString, said);
  qRegisterMetaType<lumigrid::PrintJobRunner::Outcome>();
  FakeIppServer fake;
  auto runner = runnerFor("job", fake.server(), scenario.toStdString());
  QSignalSpy finished(runner.get(), &lumigrid::PrintJobRunner::finished);
  runner->start();
  QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
  const QString message = finished.first().at(1).toString();
  QVERIFY2(int(finished.first().at(0).value<lumigrid::PrintJobRunner::Outcome>()) == outcome,
           qPrintable(message));
  QVERIFY2(QRegularExpression(said).match(message).hasMatch(), qPrintable(message));
}

int main(int argc, char** argv) {
  lumigrid::LumigridApplication app(argc, argv);
  PrintExchangeTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "print_exchange_test.moc"
