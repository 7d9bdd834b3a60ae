// The page viewer with the adjust window's drawing-area list and the chart window's save dialog,
// under the offscreen platform.
#include "ui/page_viewer.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "page/page_build.h"
#include "screen_reader_view.h"
#include "ui/adjust_window.h"
#include "ui/application.h"
#include "ui/chart_window.h"
#include "ui/picture_save_dialog.h"
#include "ui/window_set.h"
#include "window_parts.h"

namespace {

// A wheel notification over the viewer at a point of its client area.
void turn_wheel(TForm_Info* viewer, QPoint client, int delta) {
  QWidget* target = part_of<TPageScrollBox>(viewer, "ScrollBox1")->viewport();
  const QPoint global = viewer->mapToGlobal(client);
  QWheelEvent event(QPointF(target->mapFromGlobal(global)), QPointF(global), QPoint(),
                    QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(target, &event);
}

void send_mouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButton button,
                Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, held,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(target, &event);
}

QPoint scroll_of(const TForm_Info* viewer) {
  return part_of<TPageScrollBox>(viewer, "ScrollBox1")->scrollPosition();
}

}  // namespace

class PageViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void picking_a_row_builds_the_page_data();
  void picking_a_row_builds_the_page();
  void typing_a_size_builds_a_page_per_character();
  void page_is_built_while_the_viewer_is_hidden();
  void failed_build_keeps_the_previous_page();
  void wheel_step_data();
  void wheel_step();
  void wheel_stops_at_the_limits_data();
  void wheel_stops_at_the_limits();
  void fit_and_one_to_one();
  void middle_button_shows_one_to_one();
  void left_drag_pans_with_the_mouse();
  void activation_brings_the_image_to_the_visible_corner();
  void save_writes_the_whole_page();
  void cancelled_save_writes_nothing();
  void failed_save_is_reported_and_the_viewer_goes_on();
  void keys_drive_the_view_data();
  void keys_drive_the_view();
  void menu_entries_carry_their_shortcuts_data();
  void menu_entries_carry_their_shortcuts();
  void menu_opens_from_the_keyboard_data();
  void menu_opens_from_the_keyboard();
  void page_is_named_after_its_drawing_area_data();
  void page_is_named_after_its_drawing_area();

 private:
  void showViewer();
  // Shows the viewer as the active window with the keyboard on its scroll box.
  void activateViewer();
  void pickRow(const QString& text);
  void whenDialogOpens(std::function<void(QFileDialog*)> driver);

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<lumigrid::WindowSet> windows_;
  TForm_full_screen_chart* chart_ = nullptr;
  TForm_menu* adjust_ = nullptr;
  TForm_Info* viewer_ = nullptr;
  QStringList errors_;
};

void PageViewerTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  const std::filesystem::path settings(dir_->filePath("lumigrid.INI").toStdString());
  errors_.clear();
  lumigrid::set_error_reporter([this](const QString& message) { errors_ << message; });
  windows_ =
      std::make_unique<lumigrid::WindowSet>(settings, lumigrid::WindowSet::Start::WindowsOnly);
  chart_ = windows_->chart();
  adjust_ = windows_->adjust();
  viewer_ = windows_->viewer();
}

void PageViewerTest::cleanup() {
  windows_.reset();
  lumigrid::set_error_reporter({});
  dir_.reset();
}

void PageViewerTest::showViewer() {
  viewer_->show();
  QVERIFY(QTest::qWaitForWindowExposed(viewer_));
  QCoreApplication::processEvents();
}

void PageViewerTest::activateViewer() {
  showViewer();
  viewer_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(viewer_));
  // The scroll box is the first control; before the first page it is hidden, and the window
  // itself takes the keys.
  if (part_of<TPageScrollBox>(viewer_, "ScrollBox1")->isVisible()) {
    part_of<TPageScrollBox>(viewer_, "ScrollBox1")->setFocus(Qt::OtherFocusReason);
  } else {
    viewer_->setFocus(Qt::OtherFocusReason);
  }
  viewer_->FormActivate();  // the image from the scroll box's corner, whenever it activated
}

void PageViewerTest::pickRow(const QString& text) {
  const int row = part_of<QComboBox>(adjust_, "ComboBox1")->findText(text);
  QVERIFY2(row >= 0, qPrintable(text));
  part_of<QComboBox>(adjust_, "ComboBox1")->setCurrentIndex(row);
}

void PageViewerTest::whenDialogOpens(std::function<void(QFileDialog*)> driver) {
  QTimer::singleShot(0, chart_, [this, driver] {
    QFileDialog* dialog = part_of<lumigrid::PictureSaveDialog>(chart_, "SavePictureDialog1");
    QVERIFY(dialog->isVisible());
    driver(dialog);
  });
}

void PageViewerTest::picking_a_row_builds_the_page_data() {
  QTest::addColumn<QString>("row");
  QTest::addColumn<QSize>("page");
  QTest::addColumn<QSize>("fitted");
  QTest::newRow("display size") << "FHD 1920x1080" << QSize(1920, 1080) << QSize(963, 541);
  QTest::newRow("small display size") << "qHD 960x540" << QSize(960, 540) << QSize(963, 541);
  QTest::newRow("paper size, height-bound")
      << "A4 600 dpi 7016x4961" << QSize(7016, 4961) << QSize(848, 599);
  QTest::newRow("empty last row") << "" << QSize(1920, 1080) << QSize(963, 541);
}

void PageViewerTest::picking_a_row_builds_the_page() {
  QFETCH(QString, row);
  QFETCH(QSize, page);
  QFETCH(QSize, fitted);
  QVERIFY(!part_of<TPageScrollBox>(viewer_, "ScrollBox1")->isVisibleTo(viewer_));
  pickRow(row);
  QCOMPARE(errors_, QStringList());
  QVERIFY(viewer_->page() != nullptr);
  QCOMPARE(QSize(viewer_->page()->width(), viewer_->page()->height()), page);
  QCOMPARE(viewer_->windowTitle(), row);
  QCOMPARE(QString::fromStdString(chart_->state().drawing_area_name), row);
  QVERIFY(part_of<TPageScrollBox>(viewer_, "ScrollBox1")->isVisibleTo(viewer_));
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), fitted);
  QVERIFY(part_of<TPageImage>(viewer_, "Image1")->stretch());
  QCOMPARE(scroll_of(viewer_), QPoint(0, 0));
  // Building a page does not show the viewer.
  QVERIFY(!viewer_->isVisible());
}

void PageViewerTest::typing_a_size_builds_a_page_per_character() {
  chart_->show();
  QVERIFY(QTest::qWaitForWindowExposed(chart_));
  QLineEdit* edit = part_of<QComboBox>(adjust_, "ComboBox1")->lineEdit();
  edit->selectAll();
  struct Step {
    char key;
    QSize page;
    int pattern;  // the chart window's pattern after the key preview
  };
  const Step steps[] = {
      {'8', {1920, 1080}, 8}, {'0', {1920, 1080}, 8}, {'0', {1920, 1080}, 8},
      {'x', {1920, 1080}, 8}, {'6', {800, 6}, 6},     {'0', {800, 60}, 6},
      {'0', {800, 600}, 6},
  };
  QString typed;
  for (const Step& step : steps) {
    typed += QChar(step.key);
    QTest::keyClick(edit, step.key);
    QCOMPARE(part_of<QComboBox>(adjust_, "ComboBox1")->currentText(), typed);
    QVERIFY(viewer_->page() != nullptr);
    QCOMPARE(QSize(viewer_->page()->width(), viewer_->page()->height()), step.page);
    QCOMPARE(viewer_->windowTitle(), typed);
    QCOMPARE(chart_->state().current_pattern, step.pattern);
  }
  // The last 0 drew pattern 0: the chart is white.
  QCOMPARE(chart_->surface().pixel(5, 5), lumigrid::kWhite);
  QCOMPARE(errors_, QStringList());
}

void PageViewerTest::page_is_built_while_the_viewer_is_hidden() {
  // Space, Pitch and Pitch2 are read when the page is built, not later.
  part_of<UpDownControl>(adjust_, "UpDown_space")->setPosition(200);
  pickRow("FHD 1920x1080");
  const lumigrid::ChartPage* page = viewer_->page();
  QVERIFY(page != nullptr);
  lumigrid::PageRequest request;
  request.chart = {200, part_of<UpDownControl>(adjust_, "UpDown_Pitch")->position(),
                   part_of<UpDownControl>(adjust_, "UpDown_Pitch2")->position()};
  request.pixels_per_inch = page->pixelsPerInch();
  const lumigrid::PageBuild expected = lumigrid::build_page(u"FHD 1920x1080", request);
  QCOMPARE(page->height(), expected.page.height());
  std::vector<std::uint8_t> scratch(std::size_t(page->width()));
  for (int y = 0; y < page->height(); ++y) {
    QVERIFY2(std::memcmp(page->row(y, scratch.data()), expected.page.rowData(y),
                         std::size_t(page->width())) == 0,
             qPrintable(QString("row %1").arg(y)));
  }
  part_of<UpDownControl>(adjust_, "UpDown_space")->setPosition(300);
  QCOMPARE(viewer_->page(), page);
  showViewer();
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), QSize(963, 541));
}

void PageViewerTest::failed_build_keeps_the_previous_page() {
  pickRow("FHD 1920x1080");
  const lumigrid::ChartPage* before = viewer_->page();
  QVERIFY(before != nullptr);
  const std::uint8_t corner = before->pixel(0, 0);
  // Any typed size builds in little memory; here the memory is not there at all.
  viewer_->available_page_memory = [] { return std::uint64_t(1000); };
  part_of<QComboBox>(adjust_, "ComboBox1")->setEditText("999999x999999");
  QCOMPARE(errors_, QStringList{"Not enough memory for a page of 999999 x 999999 pixels"});
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QCOMPARE(viewer_->page(), before);
  QCOMPARE(viewer_->page()->width(), 1920);
  QCOMPARE(viewer_->page()->pixel(0, 0), corner);
  QCOMPARE(viewer_->windowTitle(), QString("FHD 1920x1080"));
  QCOMPARE(chart_->state().drawing_area_name, std::string("FHD 1920x1080"));
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), QSize(963, 541));
  // The next text builds as usual once the memory is there.
  viewer_->available_page_memory = lumigrid::available_page_memory;
  part_of<QComboBox>(adjust_, "ComboBox1")->setEditText("800x600");
  QCOMPARE(viewer_->page()->width(), 800);
  QCOMPARE(viewer_->windowTitle(), QString("800x600"));
}

void PageViewerTest::wheel_step_data() {
  QTest::addColumn<int>("delta");
  QTest::addColumn<QSize>("image");
  QTest::addColumn<QPoint>("requested");
  QTest::newRow("towards the operator") << -120 << QSize(1156, 650) << QPoint(98, 61);
  QTest::newRow("away from the operator") << 120 << QSize(770, 433) << QPoint(0, 0);
  QTest::newRow("small notch counts as a step") << -15 << QSize(1156, 650) << QPoint(98, 61);
  QTest::newRow("no turn") << 0 << QSize(963, 541) << QPoint(0, 0);
}

void PageViewerTest::wheel_step() {
  QFETCH(int, delta);
  QFETCH(QSize, image);
  QFETCH(QPoint, requested);
  pickRow("FHD 1920x1080");
  showViewer();
  viewer_->FormActivate();
  QCursor::setPos(viewer_->mapToGlobal(QPoint(5, 5)));
  turn_wheel(viewer_, QPoint(491, 306), delta);
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), image);
  const QScrollBar* across = part_of<TPageScrollBox>(viewer_, "ScrollBox1")->horizontalScrollBar();
  const QScrollBar* down = part_of<TPageScrollBox>(viewer_, "ScrollBox1")->verticalScrollBar();
  QCOMPARE(scroll_of(viewer_), QPoint(std::min(requested.x(), across->maximum()),
                                      std::min(requested.y(), down->maximum())));
  // The range follows the image: the far edge can be scrolled into view and no further.
  QCOMPARE(across->maximum(),
           std::max(0, image.width() -
                           part_of<TPageScrollBox>(viewer_, "ScrollBox1")->viewport()->width()));
  QCOMPARE(QCursor::pos(), viewer_->mapToGlobal(QPoint(491, 306)));
  QCOMPARE(errors_, QStringList());
}

void PageViewerTest::wheel_stops_at_the_limits_data() {
  QTest::addColumn<QString>("row");
  QTest::addColumn<int>("delta");
  QTest::addColumn<int>("steps");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("width_after_one_more");
  QTest::addColumn<int>("width_after_turning_back");
  // Zooming out stops below 10 pixels; zooming in stops before a scale beyond 100.
  QTest::newRow("display page out") << "FHD 1920x1080" << 120 << 40 << 8 << 8 << 10;
  QTest::newRow("paper page out settles") << "A4 600 dpi 7016x4961" << 120 << 40 << 14 << 14 << 14;
  QTest::newRow("display page in") << "FHD 1920x1080" << -120 << 29 << 190917 << 190917 << 152734;
}

void PageViewerTest::wheel_stops_at_the_limits() {
  QFETCH(QString, row);
  QFETCH(int, delta);
  QFETCH(int, steps);
  QFETCH(int, width);
  QFETCH(int, width_after_one_more);
  QFETCH(int, width_after_turning_back);
  pickRow(row);
  showViewer();
  for (int i = 0; i < steps; ++i) turn_wheel(viewer_, QPoint(491, 306), delta);
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->width(), width);
  turn_wheel(viewer_, QPoint(491, 306), delta);
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->width(), width_after_one_more);
  turn_wheel(viewer_, QPoint(491, 306), -delta);
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->width(), width_after_turning_back);
  QCOMPARE(QCursor::pos(), viewer_->mapToGlobal(QPoint(491, 306)));
}

void PageViewerTest::fit_and_one_to_one() {
  pickRow("FHD 1920x1080");
  showViewer();
  turn_wheel(viewer_, QPoint(700, 500), -120);
  turn_wheel(viewer_, QPoint(700, 500), -120);
  QVERIFY(scroll_of(viewer_) != QPoint(0, 0));

  part_of<QAction>(viewer_, "FitIn2")->trigger();
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), QSize(1920, 1080));
  part_of<QAction>(viewer_, "FitIn1")->trigger();
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), QSize(963, 541));
  QCOMPARE(scroll_of(viewer_), QPoint(0, 0));
  QCOMPARE(part_of<QMenu>(viewer_, "PopupMenu1")->actions().size(), 4);
  QCOMPARE(part_of<QMenu>(viewer_, "PopupMenu1")->actions().at(0)->text(),
           QString("Save Image Pattern"));
  QCOMPARE(part_of<QMenu>(viewer_, "PopupMenu1")->actions().at(1)->text(), QString("FitIn"));
  QCOMPARE(part_of<QMenu>(viewer_, "PopupMenu1")->actions().at(2)->text(), QString("1:1"));
  QCOMPARE(part_of<QMenu>(viewer_, "PopupMenu1")->actions().at(3)->text(),
           QString::fromUtf8("Print\u2026"));
}

void PageViewerTest::middle_button_shows_one_to_one() {
  pickRow("A4 600 dpi 7016x4961");
  showViewer();
  send_mouse(part_of<TPageImage>(viewer_, "Image1"), QEvent::MouseButtonPress, QPoint(10, 10),
             Qt::MiddleButton, Qt::MiddleButton);
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), QSize(7016, 4961));
  QCOMPARE(scroll_of(viewer_), QPoint(0, 0));
}

void PageViewerTest::left_drag_pans_with_the_mouse() {
  pickRow("FHD 1920x1080");
  showViewer();
  part_of<QAction>(viewer_, "FitIn2")->trigger();
  TPageImage* image = part_of<TPageImage>(viewer_, "Image1");
  const auto move_to = [image](QPoint at) {
    send_mouse(image, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
  };
  send_mouse(image, QEvent::MouseButtonPress, QPoint(500, 300), Qt::LeftButton, Qt::LeftButton);
  move_to(QPoint(400, 250));
  QCOMPARE(scroll_of(viewer_), QPoint(100, 50));
  // The image moved with the mouse, so the grabbed point is at (500, 300) again under it.
  move_to(QPoint(600, 350));
  QCOMPARE(scroll_of(viewer_), QPoint(0, 0));
  // Outside the image nothing pans; coming back over it starts from where it comes back.
  move_to(QPoint(-10, -10));
  QCOMPARE(scroll_of(viewer_), QPoint(0, 0));
  move_to(QPoint(450, 280));
  QCOMPARE(scroll_of(viewer_), QPoint(0, 0));
  move_to(QPoint(400, 250));
  QCOMPARE(scroll_of(viewer_), QPoint(50, 30));
  // Dropping ends the drag: moving no longer pans.
  send_mouse(image, QEvent::MouseButtonRelease, QPoint(400, 250), Qt::LeftButton, Qt::NoButton);
  send_mouse(image, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::NoButton);
  QCOMPARE(scroll_of(viewer_), QPoint(50, 30));

  // A pull beyond the range is clamped to it.
  part_of<TPageScrollBox>(viewer_, "ScrollBox1")->setScrollPosition(QPoint(0, 0));
  send_mouse(image, QEvent::MouseButtonPress, QPoint(900, 580), Qt::LeftButton, Qt::LeftButton);
  move_to(QPoint(0, 0));
  const QScrollBar* down = part_of<TPageScrollBox>(viewer_, "ScrollBox1")->verticalScrollBar();
  QVERIFY(down->maximum() < 580);
  QCOMPARE(scroll_of(viewer_), QPoint(900, down->maximum()));
  send_mouse(image, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::LeftButton, Qt::NoButton);
}

void PageViewerTest::activation_brings_the_image_to_the_visible_corner() {
  pickRow("FHD 1920x1080");
  showViewer();
  part_of<QAction>(viewer_, "FitIn2")->trigger();
  part_of<TPageScrollBox>(viewer_, "ScrollBox1")->setScrollPosition(QPoint(300, 200));
  QCOMPARE(scroll_of(viewer_), QPoint(300, 200));
  viewer_->FormActivate();
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->pos(), QPoint(0, 0));
  QCOMPARE(scroll_of(viewer_), QPoint(300, 200));
}

void PageViewerTest::save_writes_the_whole_page() {
  pickRow("FHD 1920x1080");
  showViewer();
  turn_wheel(viewer_, QPoint(491, 306), -120);
  const QString path = dir_->filePath("page.png");
  QString offered;
  whenDialogOpens([&](QFileDialog* dialog) {
    offered = dialog->selectedFiles().value(0);
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
  });
  part_of<QAction>(viewer_, "SaveImagePattern1")->trigger();
  QCOMPARE(errors_, QStringList());
  QVERIFY2(QRegularExpression(R"(^Image_FHD 1920x1080_\d\d_\d\d_\d\d_\d\d_\d\d\.png$)")
               .match(QFileInfo(offered).fileName())
               .hasMatch(),
           qPrintable(offered));
  const QImage saved(path);
  QCOMPARE(saved.size(), QSize(1920, 1080));
  const lumigrid::ChartPage& page = *viewer_->page();
  for (const QPoint at : {QPoint(0, 0), QPoint(50, 50), QPoint(4, 50), QPoint(1919, 1079)}) {
    const int expected = page.pixel(at.x(), at.y()) == 0 ? 0 : 255;
    QCOMPARE(qGray(saved.pixel(at)), expected);
  }
}

void PageViewerTest::cancelled_save_writes_nothing() {
  pickRow("qHD 960x540");
  showViewer();
  whenDialogOpens([](QFileDialog* dialog) { dialog->reject(); });
  part_of<QAction>(viewer_, "SaveImagePattern1")->trigger();
  QCOMPARE(QDir(dir_->path()).entryList({"*.png", "*.bmp"}), QStringList());
  QCOMPARE(errors_, QStringList());
}

void PageViewerTest::failed_save_is_reported_and_the_viewer_goes_on() {
  pickRow("qHD 960x540");
  showViewer();
  const QString path = dir_->filePath("missing/page.png");
  whenDialogOpens([&](QFileDialog* dialog) {
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
  });
  part_of<QAction>(viewer_, "SaveImagePattern1")->trigger();
  QCOMPARE(errors_.size(), 1);
  QVERIFY2(errors_.front().startsWith("Unable to write to "), qPrintable(errors_.front()));
  QVERIFY(!QFile::exists(path));
  // The busy cursor is gone with the failed save, and the page is still there.
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QCOMPARE(viewer_->page()->width(), 960);
  part_of<QAction>(viewer_, "FitIn2")->trigger();
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), QSize(960, 540));
}

void PageViewerTest::keys_drive_the_view_data() {
  QTest::addColumn<bool>("one_to_one");  // start at 1:1 scrolled to (300, 200); else fitted
  QTest::addColumn<int>("key");
  QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
  QTest::addColumn<QSize>("image");
  QTest::addColumn<QPoint>("requested");  // scroll positions before the scroll bars clamp them
  QTest::addColumn<QPoint>("views");      // plus so many visible extents
  const Qt::KeyboardModifiers none;
  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
  const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
  const QSize fitted(963, 541);
  const QSize whole(1920, 1080);
  const QPoint stay(300, 200);
  // From the fitted page, unscrolled: the wheel's step turned over the middle of the view.
  const QSize in(1156, 650);
  const QSize out(770, 433);
  QTest::newRow("plus zooms in") << false << int(Qt::Key_Plus) << none << in << QPoint(98, 61)
                                 << QPoint();
  QTest::newRow("equals, plus's key, zooms in")
      << false << int(Qt::Key_Equal) << none << in << QPoint(98, 61) << QPoint();
  QTest::newRow("ctrl+plus zooms in")
      << false << int(Qt::Key_Plus) << ctrl << in << QPoint(98, 61) << QPoint();
  QTest::newRow("ctrl+equals zooms in")
      << false << int(Qt::Key_Equal) << ctrl << in << QPoint(98, 61) << QPoint();
  QTest::newRow("keypad plus zooms in")
      << false << int(Qt::Key_Plus) << keypad << in << QPoint(98, 61) << QPoint();
  QTest::newRow("minus zooms out")
      << false << int(Qt::Key_Minus) << none << out << QPoint() << QPoint();
  QTest::newRow("ctrl+minus zooms out")
      << false << int(Qt::Key_Minus) << ctrl << out << QPoint() << QPoint();
  QTest::newRow("keypad minus zooms out")
      << false << int(Qt::Key_Minus) << keypad << out << QPoint() << QPoint();
  // Scrolled, the page point in the middle of the view stays there: (300 + 491) x 0.8 - 491.
  QTest::newRow("minus keeps the middle of a scrolled view")
      << true << int(Qt::Key_Minus) << none << QSize(1536, 864) << QPoint(142, 99) << QPoint();
  QTest::newRow("plus keeps the middle of a scrolled view")
      << true << int(Qt::Key_Plus) << none << QSize(2304, 1296) << QPoint(458, 301) << QPoint();
  QTest::newRow("ctrl+0 fits") << true << int(Qt::Key_0) << ctrl << fitted << QPoint() << QPoint();
  QTest::newRow("ctrl+1 shows 1:1")
      << false << int(Qt::Key_1) << ctrl << whole << QPoint() << QPoint();
  QTest::newRow("left") << true << int(Qt::Key_Left) << none << whole << QPoint(280, 200)
                        << QPoint();
  QTest::newRow("right") << true << int(Qt::Key_Right) << none << whole << QPoint(320, 200)
                         << QPoint();
  QTest::newRow("up") << true << int(Qt::Key_Up) << none << whole << QPoint(300, 180) << QPoint();
  QTest::newRow("down") << true << int(Qt::Key_Down) << none << whole << QPoint(300, 220)
                        << QPoint();
  QTest::newRow("page up") << true << int(Qt::Key_PageUp) << none << whole << stay << QPoint(0, -1);
  QTest::newRow("page down") << true << int(Qt::Key_PageDown) << none << whole << stay
                             << QPoint(0, 1);
  QTest::newRow("home goes to the top-left corner")
      << true << int(Qt::Key_Home) << none << whole << QPoint() << QPoint();
  QTest::newRow("end goes to the bottom-right corner")
      << true << int(Qt::Key_End) << none << whole << QPoint(1 << 20, 1 << 20) << QPoint();
}

void PageViewerTest::keys_drive_the_view() {
  QFETCH(bool, one_to_one);
  QFETCH(int, key);
  QFETCH(Qt::KeyboardModifiers, modifiers);
  QFETCH(QSize, image);
  QFETCH(QPoint, requested);
  QFETCH(QPoint, views);
  pickRow("FHD 1920x1080");
  activateViewer();
  if (one_to_one) {
    part_of<QAction>(viewer_, "FitIn2")->trigger();
    part_of<TPageScrollBox>(viewer_, "ScrollBox1")->setScrollPosition(QPoint(300, 200));
    QCOMPARE(scroll_of(viewer_), QPoint(300, 200));
  }
  const QPoint cursor = QCursor::pos();
  QWidget* focus = QApplication::focusWidget();
  QCOMPARE(focus, part_of<TPageScrollBox>(viewer_, "ScrollBox1"));
  QTest::keyClick(focus, Qt::Key(key), modifiers);
  QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), image);
  const QSize visible = part_of<TPageScrollBox>(viewer_, "ScrollBox1")->visibleExtent();
  const QScrollBar* across = part_of<TPageScrollBox>(viewer_, "ScrollBox1")->horizontalScrollBar();
  const QScrollBar* down = part_of<TPageScrollBox>(viewer_, "ScrollBox1")->verticalScrollBar();
  const QPoint wanted =
      requested + QPoint(views.x() * visible.width(), views.y() * visible.height());
  QCOMPARE(scroll_of(viewer_), QPoint(std::clamp(wanted.x(), 0, across->maximum()),
                                      std::clamp(wanted.y(), 0, down->maximum())));
  QCOMPARE(QCursor::pos(), cursor);  // the mouse is not the keys' business
  QVERIFY(!part_of<QMenu>(viewer_, "PopupMenu1")->isVisible());
  QCOMPARE(errors_, QStringList());
}

void PageViewerTest::menu_entries_carry_their_shortcuts_data() {
  QTest::addColumn<int>("entry");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QKeySequence>("shortcut");
  QTest::addColumn<int>("key");
  QTest::newRow("save") << 0 << "Save Image Pattern" << QKeySequence(Qt::CTRL | Qt::Key_S)
                        << int(Qt::Key_S);
  QTest::newRow("fit") << 1 << "FitIn" << QKeySequence(Qt::CTRL | Qt::Key_0) << int(Qt::Key_0);
  QTest::newRow("1:1") << 2 << "1:1" << QKeySequence(Qt::CTRL | Qt::Key_1) << int(Qt::Key_1);
  QTest::newRow("print") << 3 << QString::fromUtf8("Print\u2026")
                         << QKeySequence(Qt::CTRL | Qt::Key_P) << int(Qt::Key_P);
}

void PageViewerTest::menu_entries_carry_their_shortcuts() {
  QFETCH(int, entry);
  QFETCH(QString, text);
  QFETCH(QKeySequence, shortcut);
  QFETCH(int, key);
  pickRow("qHD 960x540");
  activateViewer();
  QAction* action = part_of<QMenu>(viewer_, "PopupMenu1")->actions().value(entry);
  QVERIFY(action != nullptr);
  QCOMPARE(action->text(), text);  // the shortcut has a column of its own
  QCOMPARE(action->shortcut(), shortcut);
  // With the menu closed, the key runs the entry.
  bool dialog_opened = false;
  if (action == part_of<QAction>(viewer_, "SaveImagePattern1")) {
    whenDialogOpens([&](QFileDialog* dialog) {
      dialog_opened = true;
      dialog->reject();
    });
  }
  viewer_->choose_printer = [&](QPrinter&) {
    dialog_opened = true;
    return false;
  };
  // This machine's own print server, up or not, plays no part here.
  viewer_->print_server_problem = [](const std::atomic<bool>*) {
    return std::optional<lumigrid::PrintServerProblem>();
  };
  QSignalSpy triggered(action, &QAction::triggered);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::ControlModifier);
  QCOMPARE(triggered.count(), 1);
  // Print asks the print server first, on a worker; the dialog follows its answer.
  QTRY_COMPARE(dialog_opened, action == part_of<QAction>(viewer_, "SaveImagePattern1") ||
                                  action == part_of<QAction>(viewer_, "Print1"));
  // The keyboard is back in the viewer.
  QTRY_VERIFY(viewer_->isActiveWindow());
  QCOMPARE(QDir(dir_->path()).entryList({"*.png", "*.bmp"}), QStringList());
  QCOMPARE(errors_, QStringList());
}

void PageViewerTest::menu_opens_from_the_keyboard_data() {
  QTest::addColumn<bool>("shift_f10");  // else the Menu key
  QTest::addColumn<bool>("with_page");
  QTest::newRow("Menu key") << false << true;
  QTest::newRow("Shift+F10") << true << true;
  // As with the mouse, the menu belongs to the page.
  QTest::newRow("Menu key before the first page") << false << false;
  QTest::newRow("Shift+F10 before the first page") << true << false;
}

void PageViewerTest::menu_opens_from_the_keyboard() {
  QFETCH(bool, shift_f10);
  QFETCH(bool, with_page);
  if (with_page) pickRow("qHD 960x540");
  activateViewer();
  if (with_page) part_of<QAction>(viewer_, "FitIn2")->trigger();
  QWidget* focus = QApplication::focusWidget();
  QVERIFY(focus != nullptr);
  QCOMPARE(focus, with_page ? static_cast<QWidget*>(part_of<TPageScrollBox>(viewer_, "ScrollBox1"))
                            : viewer_);
  if (shift_f10) {
    QTest::keyClick(focus, Qt::Key_F10, Qt::ShiftModifier);
  } else {
    // The window system turns the Menu key into a menu request to the focus, at its middle.
    const QPoint middle = focus->rect().center();
    QContextMenuEvent by_key(QContextMenuEvent::Keyboard, middle, focus->mapToGlobal(middle));
    QCoreApplication::sendEvent(focus, &by_key);
  }
  QCOMPARE(part_of<QMenu>(viewer_, "PopupMenu1")->isVisible(), with_page);
  if (with_page) {
    // Over the middle of the view, where the keys work.
    const QWidget* view = part_of<TPageScrollBox>(viewer_, "ScrollBox1")->viewport();
    QVERIFY(part_of<QMenu>(viewer_, "PopupMenu1")
                ->geometry()
                .contains(view->mapToGlobal(view->rect().center())));
    // And the keys work in it: Down to "FitIn", Return runs it.
    QTest::keyClick(part_of<QMenu>(viewer_, "PopupMenu1"), Qt::Key_Down);
    QTest::keyClick(part_of<QMenu>(viewer_, "PopupMenu1"), Qt::Key_Down);
    QTest::keyClick(part_of<QMenu>(viewer_, "PopupMenu1"), Qt::Key_Return);
    QVERIFY(!part_of<QMenu>(viewer_, "PopupMenu1")->isVisible());
    QCOMPARE(part_of<TPageImage>(viewer_, "Image1")->size(), QSize(963, 541));
  }
  QCOMPARE(errors_, QStringList());
}

void PageViewerTest::page_is_named_after_its_drawing_area_data() {
  QTest::addColumn<QString>("row");
  QTest::addColumn<QString>("name");  // of the page and of its scroll box
  QTest::newRow("display_size") << "qHD 960x540"
                                << "Printable page qHD 960x540";
  QTest::newRow("paper_with_trailing_blank") << "B4 "
                                             << "Printable page B4 ";
  // The empty row builds a page with an empty caption; the page is still called a page.
  QTest::newRow("empty_row") << ""
                             << "Printable page";
}

void PageViewerTest::page_is_named_after_its_drawing_area() {
  QFETCH(QString, row);
  QFETCH(QString, name);
  pickRow(row);
  activateViewer();
  QCOMPARE(viewer_->windowTitle(), row);
  QCOMPARE(screen_reader_view::accessible_text(part_of<TPageImage>(viewer_, "Image1"),
                                               QAccessible::Name),
           name);
  QCOMPARE(screen_reader_view::accessible_text(part_of<TPageScrollBox>(viewer_, "ScrollBox1"),
                                               QAccessible::Name),
           name);
  QVERIFY(!screen_reader_view::accessible_text(part_of<TPageScrollBox>(viewer_, "ScrollBox1"),
                                               QAccessible::Description)
               .isEmpty());
  const QStringList unnamed = screen_reader_view::unnamed_controls(viewer_);
  QVERIFY2(unnamed.isEmpty(), qPrintable("unnamed: " + unnamed.join(", ")));
  // The scroll bars, shown once the page is larger than the view, say which way they go.
  auto* scroll_box = part_of<TPageScrollBox>(viewer_, "ScrollBox1");
  for (QScrollBar* bar : {scroll_box->horizontalScrollBar(), scroll_box->verticalScrollBar()}) {
    QVERIFY(!screen_reader_view::accessible_text(bar, QAccessible::Name).trimmed().isEmpty());
  }
  QCOMPARE(errors_, QStringList());
}

int main(int argc, char** argv) {
  lumigrid::LumigridApplication app(argc, argv);
  PageViewerTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "page_viewer_test.moc"
