// Printing from the page viewer, with a printer writing PDF instead of the print dialog's
// choice, under the offscreen platform. poppler's tools read the PDF back.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

#include "ui/application.h"
#include "ui/error_reporting.h"
#include "ui/page_viewer.h"
#include "window_parts.h"

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

bool have_poppler() {
  for (const char* tool : {"pdfinfo", "pdfimages", "pdftocairo"}) {
    QProcess probe;
    probe.start(tool, {"-v"});
    if (!probe.waitForFinished() || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0) {
      return false;
    }
  }
  return true;
}

QString run_output(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(120000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

// pdfinfo's page size in points.
QSizeF page_points(const QString& pdf) {
  const QRegularExpression size(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)");
  const auto match = size.match(run_output("pdfinfo", {pdf}));
  if (!match.hasMatch()) return {};
  return QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble());
}

// Waits for the next question box (polling the event loop it runs in), keeps its text and
// presses `button`.
void press_when_box_shows(QMessageBox::StandardButton button, QString* text) {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) {
    QTimer::singleShot(10, [=] { press_when_box_shows(button, text); });
    return;
  }
  *text = box->text();
  box->button(button)->click();
}

// A printer writing `pdf` on the paper the viewer chose, or on `paper` when given, with
// `margins_mm` round the printable area.
std::function<bool(QPrinter&)> pdf_printer(const QString& pdf, std::optional<QPageSize> paper,
                                           double margins_mm) {
  return [=](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    if (paper) printer.setPageSize(*paper);
    printer.setPageMargins(QMarginsF(margins_mm, margins_mm, margins_mm, margins_mm),
                           QPageLayout::Millimeter);
    return true;
  };
}

}  // namespace

class PagePrintingTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void print_is_the_last_menu_entry_and_ctrl_p();
  void print_opens_the_print_dialog_on_the_chosen_paper();
  void printer_is_set_up_for_the_page_data();
  void printer_is_set_up_for_the_page();
  void prints_at_true_size_data();
  void prints_at_true_size();
  void page_larger_than_the_printable_area_asks_first_data();
  void page_larger_than_the_printable_area_asks_first();
  void failed_print_is_reported_and_the_viewer_goes_on();

 private:
  void buildPage(const QString& area_text);

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<TForm_Info> viewer_;
  QStringList errors_;
};

void PagePrintingTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  errors_.clear();
  lumigrid::set_error_reporter([this](const QString& message) { errors_ << message; });
  viewer_ = std::make_unique<TForm_Info>();
  // These print through the toolkit's engine to a file, which needs no print server.
  viewer_->print_server_problem = [](const std::atomic<bool>*) {
    return std::optional<lumigrid::PrintServerProblem>();
  };
}

void PagePrintingTest::cleanup() {
  viewer_.reset();
  lumigrid::set_error_reporter({});
  dir_.reset();
}

void PagePrintingTest::buildPage(const QString& area_text) {
  viewer_->buildPage(area_text, lumigrid::ChartParameters{100, 8, 50});
  QVERIFY(viewer_->page() != nullptr);
}

void PagePrintingTest::print_is_the_last_menu_entry_and_ctrl_p() {
  buildPage("qHD 960x540");
  const QList<QAction*> entries = part_of<QMenu>(viewer_.get(), "PopupMenu1")->actions();
  QCOMPARE(entries.size(), 5);
  QCOMPARE(entries.last(), part_of<QAction>(viewer_.get(), "Print1"));
  QCOMPARE(entries.last()->text(), QString::fromUtf8("Print\u2026"));

  int asked = 0;
  viewer_->choose_printer = [&](QPrinter&) {
    ++asked;
    return false;
  };
  viewer_->show();
  QVERIFY(QTest::qWaitForWindowExposed(viewer_.get()));
  viewer_->activateWindow();
  QTRY_VERIFY(viewer_->isActiveWindow());
  QTest::keyClick(viewer_.get(), Qt::Key_P, Qt::ControlModifier);
  // The print server is asked first, on a worker; the dialog follows its answer.
  QTRY_COMPARE(asked, 1);
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  QTRY_VERIFY(!viewer_->printing());
  QTRY_COMPARE(asked, 2);
  QCOMPARE(errors_, QStringList());
}

void PagePrintingTest::print_opens_the_print_dialog_on_the_chosen_paper() {
  buildPage("A5");
  std::optional<QPageSize> offered;
  std::function<void()> cancel_when_shown = [&] {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      QTimer::singleShot(10, cancel_when_shown);
      return;
    }
    offered = dialog->printer()->pageLayout().pageSize();
    dialog->reject();
  };
  QTimer::singleShot(0, cancel_when_shown);
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  QTRY_VERIFY(!viewer_->printing());
  QVERIFY(offered.has_value());
  QCOMPARE(offered->id(), QPageSize::A5);
  QCOMPARE(errors_, QStringList());
  QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void PagePrintingTest::printer_is_set_up_for_the_page_data() {
  QTest::addColumn<QString>("area");
  QTest::addColumn<int>("paper");  // QPageSize::PageSizeId; -1: the printer's own
  QTest::addColumn<int>("orientation");
  QTest::newRow("A5") << "A5" << int(QPageSize::A5) << int(QPageLayout::Landscape);
  QTest::newRow("A4 row") << "A4 600 dpi 7016x4961" << int(QPageSize::A4)
                          << int(QPageLayout::Landscape);
  QTest::newRow("B5") << "B5" << int(QPageSize::B5) << int(QPageLayout::Landscape);
  QTest::newRow("B4 is JIS B4") << "B4" << int(QPageSize::JisB4) << int(QPageLayout::Landscape);
  QTest::newRow("display format") << "FHD 1920x1080" << -1 << int(QPageLayout::Landscape);
  QTest::newRow("typed tall size") << "400x600" << -1 << int(QPageLayout::Portrait);
}

void PagePrintingTest::printer_is_set_up_for_the_page() {
  QFETCH(QString, area);
  QFETCH(int, paper);
  QFETCH(int, orientation);
  buildPage(area);
  std::optional<QPageLayout> offered;
  viewer_->choose_printer = [&](QPrinter& printer) {
    offered = printer.pageLayout();
    return false;  // cancelled: nothing is printed
  };
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  QTRY_VERIFY(!viewer_->printing());
  QVERIFY(offered.has_value());
  const int own = int(QPrinter(QPrinter::HighResolution).pageLayout().pageSize().id());
  QCOMPARE(int(offered->pageSize().id()), paper < 0 ? own : paper);
  QCOMPARE(int(offered->orientation()), orientation);
  QCOMPARE(errors_, QStringList());
  QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList());
}

void PagePrintingTest::prints_at_true_size_data() {
  QTest::addColumn<QString>("area");
  // A custom paper this many inches larger than the page on each side, else the chosen paper.
  QTest::addColumn<std::optional<double>>("own_paper_margin");
  QTest::newRow("typed size on a paper its size") << "600x400" << std::optional<double>(0);
  // Half-inch margins: the page starts 300 pixels in, at the printable area's origin.
  QTest::newRow("typed size inside margins") << "600x400" << std::optional<double>(0.5);
  QTest::newRow("A5 on the paper it names") << "A5" << std::optional<double>();
}

void PagePrintingTest::prints_at_true_size() {
  QFETCH(QString, area);
  QFETCH(std::optional<double>, own_paper_margin);
  if (!have_poppler()) QSKIP("NEEDED TOOL MISSING: pdfinfo, pdfimages, pdftocairo (poppler-utils)");
  buildPage(area);
  const lumigrid::ChartPage& page = *viewer_->page();
  const QString pdf = dir_->filePath("page.pdf");
  std::optional<QPageSize> paper;
  QSizeF sheet_points(page.width() * 72 / 600.0, page.height() * 72 / 600.0);
  double margin_mm = 0;
  int margin_pixels = 0;
  if (own_paper_margin) {
    const double margin = *own_paper_margin;
    sheet_points += QSizeF(2 * margin * 72, 2 * margin * 72);
    // Named portrait, turned by the page's landscape orientation.
    paper = QPageSize(QSizeF(sheet_points.height() / 72, sheet_points.width() / 72),
                      QPageSize::Inch, QString(), QPageSize::ExactMatch);
    margin_mm = margin * 25.4;
    margin_pixels = int(margin * 600);
  }
  viewer_->choose_printer = pdf_printer(pdf, paper, margin_mm);
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  QTRY_VERIFY(!viewer_->printing());
  QCOMPARE(errors_, QStringList());
  QCOMPARE(QApplication::overrideCursor(), nullptr);

  // The sheet is the paper's size. The toolkit writes a sheet's size in whole points, so a named
  // paper comes within half a point of the page's size on paper (and carries its name).
  const QString info = run_output("pdfinfo", {pdf});
  const QSizeF points = page_points(pdf);
  const double tolerance = paper ? 0.001 : 0.5;
  QVERIFY2(std::abs(points.width() - sheet_points.width()) <= tolerance, qPrintable(info));
  QVERIFY2(std::abs(points.height() - sheet_points.height()) <= tolerance, qPrintable(info));
  if (!paper) QVERIFY2(info.contains("pts (" + area + ")"), qPrintable(info));
  // No image is smoothed on its way to the paper.
  const QStringList images =
      run_output("pdfimages", {"-list", pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
  QVERIFY(!images.isEmpty());
  for (const QString& image : images) {
    const QStringList columns = image.split(' ', Qt::SkipEmptyParts);
    QVERIFY2(columns.size() > 9 && columns.at(9) == "no", qPrintable(image));
  }

  // Rendered back at 600 dpi, every page pixel on the sheet comes back where it was, and the
  // margins stay white.
  const QString rendered = dir_->filePath("rendered");
  QCOMPARE(
      QProcess::execute("pdftocairo", {"-png", "-singlefile", "-r", "600", "-gray", pdf, rendered}),
      0);
  const QImage back = QImage(rendered + ".png").convertToFormat(QImage::Format_Grayscale8);
  // A pixel the sheet's edge cuts through is not all on the sheet.
  const int sheet_width = int(std::floor(points.width() * 600 / 72 + 1e-6));
  const int sheet_height = int(std::floor(points.height() * 600 / 72 + 1e-6));
  QVERIFY2(back.width() >= sheet_width && back.width() <= sheet_width + 1,
           qPrintable(QString::number(back.width())));
  QVERIFY2(back.height() >= sheet_height && back.height() <= sheet_height + 1,
           qPrintable(QString::number(back.height())));
  int mismatches = 0;
  for (int y = 0; y < sheet_height; ++y) {
    const uchar* line = back.constScanLine(y);
    for (int x = 0; x < sheet_width; ++x) {
      const int page_x = x - margin_pixels, page_y = y - margin_pixels;
      const bool on_page =
          page_x >= 0 && page_y >= 0 && page_x < page.width() && page_y < page.height();
      const uchar expected = on_page ? page.pixel(page_x, page_y) : 255;
      if (line[x] == expected) continue;
      if (++mismatches <= 3) qWarning("pixel %d,%d differs", x, y);
    }
  }
  QCOMPARE(mismatches, 0);
}

void PagePrintingTest::page_larger_than_the_printable_area_asks_first_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("printed");
  QTest::newRow("print anyway") << int(QMessageBox::Yes) << true;
  QTest::newRow("do not print") << int(QMessageBox::No) << false;
}

void PagePrintingTest::page_larger_than_the_printable_area_asks_first() {
  QFETCH(int, answer);
  QFETCH(bool, printed);
  buildPage("A5");
  const QString pdf = dir_->filePath("page.pdf");
  const auto set_up = pdf_printer(pdf, std::nullopt, 10);
  QRectF printable_mm;
  viewer_->choose_printer = [&](QPrinter& printer) {
    set_up(printer);
    printable_mm = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    return true;
  };
  QString question;
  QTimer::singleShot(0,
                     [&] { press_when_box_shows(QMessageBox::StandardButton(answer), &question); });
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  QTRY_VERIFY(!viewer_->printing());
  // 10 mm margins round A5, as the toolkit keeps them (in whole points).
  QVERIFY(std::abs(printable_mm.width() - 190) < 0.5 &&
          std::abs(printable_mm.height() - 128) < 0.5);
  QCOMPARE(question, QString("The page (210.0 x 148.0 mm) is larger than the printable area of "
                             "the paper (%1 x %2 mm). Printed at 100 %, its right and bottom "
                             "edges are cut off. Print anyway?")
                         .arg(printable_mm.width(), 0, 'f', 1)
                         .arg(printable_mm.height(), 0, 'f', 1));
  QCOMPARE(QFile::exists(pdf), printed);
  QCOMPARE(errors_, QStringList());
}

void PagePrintingTest::failed_print_is_reported_and_the_viewer_goes_on() {
  buildPage("qHD 960x540");
  const QString pdf = dir_->filePath("missing/page.pdf");
  viewer_->choose_printer = pdf_printer(pdf, std::nullopt, 0);
  part_of<QAction>(viewer_.get(), "Print1")->trigger();
  QTRY_VERIFY(!viewer_->printing());
  QCOMPARE(errors_, QStringList{"Unable to print the page on " + pdf});
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QCOMPARE(viewer_->page()->width(), 960);
}

int main(int argc, char** argv) {
  lumigrid::LumigridApplication app(argc, argv);
  PagePrintingTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "page_printing_test.moc"
