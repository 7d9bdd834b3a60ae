// The chart window under the offscreen platform, with the real application object.
#include "ui/chart_window.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtEndian>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include "base/errors.h"
#include "patterns/display_tests.h"
#include "screen_reader_view.h"
#include "settings/settings.h"
#include "ui/adjust_window.h"
#include "ui/application.h"
#include "ui/key_codes.h"
#include "ui/page_viewer.h"
#include "ui/picture_save_dialog.h"
#include "ui/window_set.h"
#include "window_parts.h"
#include "window_set_fixture.h"

namespace {

struct KeyStroke {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};
using KeyStrokes = QList<KeyStroke>;

constexpr lumigrid::Colour kBlackPixel = lumigrid::kBlack;
constexpr lumigrid::Colour kWhitePixel = lumigrid::kWhite;

// An object whose every event handler fails, as a handler of the program might.
class FailingObject : public QObject {
 public:
  bool event(QEvent*) override { throw lumigrid::Error("Floating point division by zero"); }
};

// One key event as the window system delivers it; QTest would add presses and releases of the
// modifier keys around it.
void send_key(QWidget* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {}) {
  QKeyEvent event(type, key, modifiers);
  QCoreApplication::sendEvent(window, &event);
}

QByteArray file_head(const QString& path, int bytes) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.read(bytes);
}

}  // namespace

Q_DECLARE_METATYPE(KeyStroke)
Q_DECLARE_METATYPE(KeyStrokes)

class ChartWindowTest : public QObject, protected WindowSetFixture {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void key_codes_data();
  void key_codes();
  void physical_digit_keys_data();
  void physical_digit_keys();
  void window_systems_naming_the_physical_key_data();
  void window_systems_naming_the_physical_key();
  void arrow_keys_resize_and_move_data();
  void arrow_keys_resize_and_move();
  void key_release_data();
  void key_release();

  void letter_keys_pick_and_step_test_screens_data();
  void letter_keys_pick_and_step_test_screens();
  void adjust_window_leaves_letters_to_its_fields();
  void menu_lists_the_test_screens_with_their_keys();
  void ruler_keys_calibrate_the_windows_monitor();
  void repaint_tick_redraws_the_test_screen_at_the_new_size();

  void presenting_a_drawing_does_not_rearm_the_timer();
  void invalidated_area_is_white_until_the_tick();
  void focus_changes_keep_the_picture_data();
  void focus_changes_keep_the_picture();
  void f11_covers_the_screen_and_escape_restores();
  void escape_before_full_screen_keeps_bounds();
  void maximized_window_goes_full_screen_at_its_paint();
  void resting_cursor_hides_in_full_screen();
  void resting_cursor_hides_after_an_owned_window_went_data();
  void resting_cursor_hides_after_an_owned_window_went();
  void context_menu_flips_window_visibility();
  void menu_key_release_reaches_the_caption_data();
  void menu_key_release_reaches_the_caption();
  void menu_shows_a_window_active_on_its_first_control_data();
  void menu_shows_a_window_active_on_its_first_control();

  void save_dialog_data();
  void save_dialog();
  void save_dialog_keeps_confirmed_filter();
  void double_click_on_an_inactive_chart_saves_its_picture();
  void save_dialog_lists_descriptions_data();
  void save_dialog_lists_descriptions();
  void save_dialog_offers_twelve_types_in_order();

  void close_writes_settings_file();
  void too_large_settings_file_is_named_in_the_log();
  void only_the_chart_window_close_ends_the_program();
  void ctrl_w_closes_the_window_it_is_pressed_in_data();
  void ctrl_w_closes_the_window_it_is_pressed_in();
  void screen_reader_sees_windows_with_descriptions();
  void close_with_unwritable_settings_stays_open();
  void failing_timer_drawing_is_reported_once();
  void dismissing_an_error_box_brings_no_other();
  void handler_error_is_shown_and_loop_goes_on();

 private:
  void showChart();
  // Runs `driver` on the save dialog once it is open.
  void whenDialogOpens(std::function<void(QFileDialog*)> driver);
};

void ChartWindowTest::init() {
  openScratch();
  createWindowSet();
}

void ChartWindowTest::cleanup() {
  closeScratch();
}

void ChartWindowTest::showChart() {
  chart_->show();
  QVERIFY(QTest::qWaitForWindowExposed(chart_));
  QCoreApplication::processEvents();
}

void ChartWindowTest::whenDialogOpens(std::function<void(QFileDialog*)> driver) {
  QTimer::singleShot(0, chart_, [this, driver] {
    QFileDialog* dialog = part_of<lumigrid::PictureSaveDialog>(chart_, "SavePictureDialog1");
    QVERIFY(dialog->isVisible());
    driver(dialog);
  });
}

void ChartWindowTest::key_codes_data() {
  QTest::addColumn<int>("qt_key");
  QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
  QTest::addColumn<int>("code");
  QTest::newRow("main-row digit") << int(Qt::Key_3) << Qt::KeyboardModifiers() << 51;
  QTest::newRow("keypad digit") << int(Qt::Key_7) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                << 103;
  QTest::newRow("shifted digit") << int(Qt::Key_Exclam) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                 << 49;
  QTest::newRow("shifted zero") << int(Qt::Key_ParenRight)
                                << Qt::KeyboardModifiers(Qt::ShiftModifier) << 48;
  QTest::newRow("escape") << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << 27;
  QTest::newRow("F11") << int(Qt::Key_F11) << Qt::KeyboardModifiers() << 122;
  QTest::newRow("left arrow") << int(Qt::Key_Left) << Qt::KeyboardModifiers() << 37;
  QTest::newRow("down arrow") << int(Qt::Key_Down) << Qt::KeyboardModifiers() << 40;
  QTest::newRow("letter") << int(Qt::Key_Q) << Qt::KeyboardModifiers() << 81;
  QTest::newRow("shift key") << int(Qt::Key_Shift) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                             << 16;
  QTest::newRow("keypad plus") << int(Qt::Key_Plus) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                               << 107;
  QTest::newRow("unknown key") << int(Qt::Key_LaunchMail) << Qt::KeyboardModifiers() << 0;
}

void ChartWindowTest::key_codes() {
  QFETCH(int, qt_key);
  QFETCH(Qt::KeyboardModifiers, modifiers);
  QFETCH(int, code);
  QCOMPARE(lumigrid::windows_key_code(qt_key, modifiers), code);
}

void ChartWindowTest::physical_digit_keys_data() {
  using System = lumigrid::NativeKey::System;
  QTest::addColumn<int>("qt_key");
  QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
  QTest::addColumn<int>("system");
  QTest::addColumn<unsigned>("scan_code");
  QTest::addColumn<int>("code");
  const Qt::KeyboardModifiers none;
  const Qt::KeyboardModifiers shift(Qt::ShiftModifier);
  QTest::newRow("x11 french 1 types &")
      << int(Qt::Key_Ampersand) << none << int(System::X11) << 10u << 49;
  QTest::newRow("x11 french 7 types egrave")
      << int(Qt::Key_Egrave) << none << int(System::X11) << 16u << 55;
  QTest::newRow("x11 german shift 7 types slash")
      << int(Qt::Key_Slash) << shift << int(System::X11) << 16u << 55;
  QTest::newRow("x11 zero key") << int(Qt::Key_0) << none << int(System::X11) << 19u << 48;
  QTest::newRow("x11 keypad keeps keypad code")
      << int(Qt::Key_7) << Qt::KeyboardModifiers(Qt::KeypadModifier) << int(System::X11) << 79u
      << 103;
  QTest::newRow("x11 letter key follows the character")
      << int(Qt::Key_Q) << none << int(System::X11) << 24u << 81;
  QTest::newRow("unknown system follows the character")
      << int(Qt::Key_Ampersand) << shift << int(System::Unknown) << 10u << 55;
}

void ChartWindowTest::physical_digit_keys() {
  QFETCH(int, qt_key);
  QFETCH(Qt::KeyboardModifiers, modifiers);
  QFETCH(int, system);
  QFETCH(unsigned, scan_code);
  QFETCH(int, code);
  lumigrid::NativeKey native;
  native.system = lumigrid::NativeKey::System(system);
  native.scan_code = scan_code;
  QCOMPARE(lumigrid::windows_key_code(qt_key, modifiers, native), code);
}

void ChartWindowTest::window_systems_naming_the_physical_key_data() {
  using System = lumigrid::NativeKey::System;
  QTest::addColumn<QString>("platform");
  QTest::addColumn<int>("system");
  QTest::newRow("X11") << "xcb" << int(System::X11);
  // Wayland compositors hand on the X key codes: on a French layout the "1" key is still 1.
  QTest::newRow("Wayland") << "wayland" << int(System::X11);
  QTest::newRow("Wayland with EGL") << "wayland-egl" << int(System::X11);
  QTest::newRow("Windows") << "windows" << int(System::Windows);
  QTest::newRow("offscreen") << "offscreen" << int(System::Unknown);
}

void ChartWindowTest::window_systems_naming_the_physical_key() {
  QFETCH(QString, platform);
  QFETCH(int, system);
  QCOMPARE(int(lumigrid::native_key_system(platform)), system);
}

void ChartWindowTest::arrow_keys_resize_and_move_data() {
  QTest::addColumn<KeyStrokes>("strokes");
  QTest::addColumn<QRect>("change");  // dx, dy, dwidth, dheight
  const Qt::KeyboardModifiers shift(Qt::ShiftModifier);
  const Qt::KeyboardModifiers ctrl(Qt::ControlModifier);
  QTest::newRow("shift then left narrows by 1")
      << KeyStrokes{{Qt::Key_Shift, shift}, {Qt::Key_Left, shift}} << QRect(0, 0, -1, 0);
  QTest::newRow("repeated left narrows by 1 then 10")
      << KeyStrokes{{Qt::Key_Shift, shift}, {Qt::Key_Left, shift}, {Qt::Key_Left, shift}}
      << QRect(0, 0, -11, 0);
  QTest::newRow("shift up then down: a new key steps 1")
      << KeyStrokes{{Qt::Key_Up, shift}, {Qt::Key_Down, shift}} << QRect(0, 0, 0, 0);
  QTest::newRow("ctrl right moves right")
      << KeyStrokes{{Qt::Key_Control, ctrl}, {Qt::Key_Right, ctrl}} << QRect(1, 0, 0, 0);
  QTest::newRow("ctrl up repeated moves up 11")
      << KeyStrokes{{Qt::Key_Up, ctrl}, {Qt::Key_Up, ctrl}} << QRect(0, -11, 0, 0);
  QTest::newRow("shift and ctrl down both resize and move")
      << KeyStrokes{{Qt::Key_Down, shift | ctrl}} << QRect(0, 1, 0, 1);
  QTest::newRow("plain arrow does nothing")
      << KeyStrokes{{Qt::Key_Left, {}}, {Qt::Key_Left, {}}} << QRect(0, 0, 0, 0);
  QTest::newRow("shift with a digit does nothing")
      << KeyStrokes{{Qt::Key_5, shift}} << QRect(0, 0, 0, 0);
}

void ChartWindowTest::arrow_keys_resize_and_move() {
  QFETCH(KeyStrokes, strokes);
  QFETCH(QRect, change);
  showChart();
  chart_->move(100, 100);
  QCoreApplication::processEvents();
  const QRect before = chart_->geometry();
  for (const KeyStroke& stroke : strokes) {
    send_key(chart_, QEvent::KeyPress, stroke.key, stroke.modifiers);
  }
  QCoreApplication::processEvents();
  const QRect after = chart_->geometry();
  QCOMPARE(QRect(after.x() - before.x(), after.y() - before.y(), after.width() - before.width(),
                 after.height() - before.height()),
           change);
}

void ChartWindowTest::key_release_data() {
  QTest::addColumn<int>("qt_key");
  QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<int>("pattern");  // current_pattern afterwards
  QTest::addColumn<lumigrid::Colour>("pixel");
  const QString key_caption = "Duzov Urorezo Key press:%1  ";
  QTest::newRow("main-row 9 draws black")
      << int(Qt::Key_9) << Qt::KeyboardModifiers() << key_caption.arg(57) << 9 << kBlackPixel;
  QTest::newRow("keypad 9 draws black")
      << int(Qt::Key_9) << Qt::KeyboardModifiers(Qt::KeypadModifier) << key_caption.arg(105) << 9
      << kBlackPixel;
  QTest::newRow("ctrl 9 draws black")
      << int(Qt::Key_9) << Qt::KeyboardModifiers(Qt::ControlModifier) << key_caption.arg(57) << 9
      << kBlackPixel;
  QTest::newRow("shift 9 on US layout draws black")
      << int(Qt::Key_ParenLeft) << Qt::KeyboardModifiers(Qt::ShiftModifier) << key_caption.arg(57)
      << 9 << kBlackPixel;
  QTest::newRow("0 keeps the pattern number")
      << int(Qt::Key_0) << Qt::KeyboardModifiers() << key_caption.arg(48) << 0 << kWhitePixel;
  QTest::newRow("shift left shows 37")
      << int(Qt::Key_Left) << Qt::KeyboardModifiers(Qt::ShiftModifier) << key_caption.arg(37) << 0
      << kWhitePixel;
  QTest::newRow("one-digit code is padded") << int(Qt::Key_Tab) << Qt::KeyboardModifiers()
                                            << "Duzov Urorezo Key press: 9  " << 0 << kWhitePixel;
  QTest::newRow("escape restores the caption") << int(Qt::Key_Escape) << Qt::KeyboardModifiers()
                                               << QString(kChartCaption) << 0 << kWhitePixel;
}

void ChartWindowTest::key_release() {
  QFETCH(int, qt_key);
  QFETCH(Qt::KeyboardModifiers, modifiers);
  QFETCH(QString, caption);
  QFETCH(int, pattern);
  QFETCH(lumigrid::Colour, pixel);
  showChart();
  send_key(chart_, QEvent::KeyRelease, qt_key, modifiers);
  QCOMPARE(chart_->windowTitle(), caption);
  QCOMPARE(chart_->state().current_pattern, pattern);
  QCOMPARE(chart_->surface().pixel(5, 5), pixel);
  QVERIFY(errors_.isEmpty());
}

namespace {

// The chart's surface is exactly the test screen's variant drawn on its own at the same size.
bool shows_test_screen(const TForm_full_screen_chart& chart, lumigrid::DisplayTest test,
                       int variant) {
  const lumigrid::Surface& shown = chart.surface();
  lumigrid::Surface expected(shown.width(), shown.height(), lumigrid::PixelFormat::Rgb32);
  expected.setPixelsPerInch(shown.pixelsPerInch());
  lumigrid::draw_display_test(expected, test, variant);
  for (int y = 0; y < shown.height(); ++y) {
    if (std::memcmp(shown.rowData(y), expected.rowData(y), std::size_t(shown.width()) * 4) != 0)
      return false;
  }
  return true;
}

}  // namespace

void ChartWindowTest::letter_keys_pick_and_step_test_screens_data() {
  QTest::addColumn<QList<int>>("keys");  // Qt keys released in turn in the chart window
  QTest::addColumn<int>("letter");       // the screen shown afterwards, 0 for none
  QTest::addColumn<int>("variant");
  QTest::newRow("G shows the first gamma variant") << QList<int>{Qt::Key_G} << int('G') << 1;
  QTest::newRow("G again steps to vertical lines")
      << QList<int>{Qt::Key_G, Qt::Key_G} << int('G') << 2;
  QTest::newRow("gamma wraps after three")
      << QList<int>{Qt::Key_G, Qt::Key_G, Qt::Key_G, Qt::Key_G} << int('G') << 1;
  QTest::newRow("inversion reaches its ninth") << QList<int>(9, Qt::Key_I) << int('I') << 9;
  QTest::newRow("uniformity wraps after ten") << QList<int>(11, Qt::Key_U) << int('U') << 1;
  QTest::newRow("another screen starts at its first")
      << QList<int>{Qt::Key_W, Qt::Key_W, Qt::Key_B} << int('B') << 1;
  QTest::newRow("a screen of one variant stays")
      << QList<int>{Qt::Key_F, Qt::Key_F} << int('F') << 1;
  QTest::newRow("a pattern in between starts over")
      << QList<int>{Qt::Key_G, Qt::Key_3, Qt::Key_G} << int('G') << 1;
  QTest::newRow("a digit after a screen draws its pattern")
      << QList<int>{Qt::Key_S, Qt::Key_9} << 0 << 0;
  QTest::newRow("other letters do nothing") << QList<int>{Qt::Key_H, Qt::Key_Q} << 0 << 0;
}

void ChartWindowTest::letter_keys_pick_and_step_test_screens() {
  QFETCH(QList<int>, keys);
  QFETCH(int, letter);
  QFETCH(int, variant);
  showChart();
  chart_->state().current_pattern = 7;
  for (const int key : keys) send_key(chart_, QEvent::KeyRelease, key);
  QCOMPARE(int(chart_->state().display_test_key), letter);
  QCOMPARE(chart_->state().display_test_variant, variant);
  // The caption shows the letter's code as for any key.
  QCOMPARE(chart_->windowTitle(), QString("Duzov Urorezo Key press:%1  ").arg(keys.back()));
  if (letter != 0) {
    QCOMPARE(chart_->state().current_pattern, keys.contains(Qt::Key_3) ? 3 : 7);
    QVERIFY(shows_test_screen(*chart_, *lumigrid::display_test_for_letter(char(letter)), variant));
  } else if (keys.back() == Qt::Key_9) {
    QCOMPARE(chart_->surface().pixel(5, 5), kBlackPixel);
  } else {
    QCOMPARE(chart_->surface().pixel(5, 5), kWhitePixel);
    QCOMPARE(chart_->state().current_pattern, 7);
  }
  QVERIFY(errors_.isEmpty());
}

void ChartWindowTest::adjust_window_leaves_letters_to_its_fields() {
  showChart();
  adjust_->show();
  QVERIFY(QTest::qWaitForWindowExposed(adjust_));
  for (const char* field : {"Edit_H", "Edit_space"}) {
    auto* edit = part_of<QLineEdit>(adjust_, field);
    QTest::keyClick(edit, Qt::Key_G);
    QTest::keyClick(edit, Qt::Key_F);
  }
  QTest::keyClick(adjust_, Qt::Key_U);
  QCOMPARE(int(chart_->state().display_test_key), 0);
  QCOMPARE(chart_->surface().pixel(5, 5), kWhitePixel);
  // A screen the chart shows does not step from the adjust window's letters either.
  send_key(chart_, QEvent::KeyRelease, Qt::Key_G);
  QTest::keyClick(part_of<QLineEdit>(adjust_, "Edit_H"), Qt::Key_G);
  QCOMPARE(chart_->state().display_test_variant, 1);
  QVERIFY(errors_.isEmpty());
}

// R shows the ruler at the monitor's pitch; the arrows change it, Return stores it under the
// monitor's name and Delete forgets it; R again brings back the pattern it covered.
void ChartWindowTest::ruler_keys_calibrate_the_windows_monitor() {
  showChart();
  chart_->state().current_pattern = 9;
  const lumigrid::MonitorScale monitor = chart_->monitorScale();
  QVERIFY(monitor.scale.source != lumigrid::SizeSource::Calibration);
  send_key(chart_, QEvent::KeyRelease, Qt::Key_R);
  QVERIFY(chart_->state().ruler_shown);
  QCOMPARE(chart_->state().ruler_mm_per_pixel, monitor.scale.mm_per_pixel);
  QCOMPARE(chart_->state().ruler_caption, lumigrid::describe_screen_scale(monitor.scale));
  // Shift+Right: 1 % larger, and the window keeps its size; Left: 0.1 % smaller.
  const QSize size = chart_->size();
  send_key(chart_, QEvent::KeyPress, Qt::Key_Right, Qt::ShiftModifier);
  send_key(chart_, QEvent::KeyPress, Qt::Key_Left);
  const double adjusted = monitor.scale.mm_per_pixel * 1.01 * 0.999;
  QVERIFY(std::fabs(chart_->state().ruler_mm_per_pixel - adjusted) < 1e-12);
  QCOMPARE(chart_->size(), size);
  send_key(chart_, QEvent::KeyRelease, Qt::Key_Return);
  const auto stored =
      lumigrid::read_monitor_calibration(chart_->settingsLocation(), monitor.calibration_name);
  QVERIFY(stored.has_value());
  QVERIFY(std::fabs(*stored - adjusted) < 1e-12);
  QCOMPARE(chart_->monitorScale().scale.source, lumigrid::SizeSource::Calibration);
  QCOMPARE(chart_->state().ruler_caption, std::string("calibrated"));
  send_key(chart_, QEvent::KeyRelease, Qt::Key_Delete);
  QVERIFY(
      !lumigrid::read_monitor_calibration(chart_->settingsLocation(), monitor.calibration_name));
  QCOMPARE(chart_->state().ruler_mm_per_pixel, monitor.scale.mm_per_pixel);
  send_key(chart_, QEvent::KeyRelease, Qt::Key_R);
  QVERIFY(!chart_->state().ruler_shown);
  QCOMPARE(chart_->surface().pixel(5, 5), kBlackPixel);
  QVERIFY(errors_.isEmpty());
}

void ChartWindowTest::menu_lists_the_test_screens_with_their_keys() {
  showChart();
  auto* popup = part_of<QMenu>(chart_, "PopupMenu1");
  auto* tests = part_of<QMenu>(chart_, "DisplayTestsMenu");
  // The menu's first entries stay as they were; the submenu follows them.
  QCOMPARE(popup->actions().at(0)->text(), QString("Show_Adjust_Form"));
  QCOMPARE(popup->actions().at(1)->text(), QString("Show_Printable_page"));
  QCOMPARE(popup->actions().at(2)->text(), QString("About"));
  QVERIFY(popup->actions().contains(tests->menuAction()));
  QCOMPARE(tests->title(), QString("Display tests"));
  QStringList entries;
  for (const QAction* action : tests->actions()) entries << action->text();
  QCOMPARE(entries, (QStringList{"Gamma\tG", "Black level\tB", "White saturation\tW",
                                 "Video range\tL", "Uniformity\tU", "Inversion\tI", "Sub-pixels\tS",
                                 "Frame and overscan\tF", "", "Ruler and calibration\tR"}));
  // Choosing an entry is pressing its key: again steps on.
  tests->actions().at(0)->trigger();
  tests->actions().at(0)->trigger();
  QCOMPARE(int(chart_->state().display_test_key), int('G'));
  QCOMPARE(chart_->state().display_test_variant, 2);
  QVERIFY(shows_test_screen(*chart_, lumigrid::DisplayTest::Gamma, 2));
  QVERIFY(errors_.isEmpty());
}

void ChartWindowTest::repaint_tick_redraws_the_test_screen_at_the_new_size() {
  showChart();
  chart_->state().current_pattern = 9;
  send_key(chart_, QEvent::KeyRelease, Qt::Key_F);
  chart_->resize(640, 480);
  QCoreApplication::processEvents();
  QCOMPARE(chart_->surface().width(), int(std::lround(640 * chart_->devicePixelRatioF())));
  chart_->Timer1Timer();
  QVERIFY(shows_test_screen(*chart_, lumigrid::DisplayTest::Frame, 1));
  QCOMPARE(chart_->state().current_pattern, 9);  // the pattern stored at exit is unchanged
  QVERIFY(errors_.isEmpty());
}

void ChartWindowTest::presenting_a_drawing_does_not_rearm_the_timer() {
  showChart();
  QVERIFY(part_of<QTimer>(chart_, "Timer1")->isActive());  // the first paint armed it
  QCOMPARE(chart_->hiddenLog().lines().size(), std::size_t(1));
  QCOMPARE(chart_->hiddenLog().lines().front(), std::string("FormPaint!"));

  chart_->image_Pattern(9);
  chart_->Timer1Timer();  // the tick: draws pattern 9 again and stops
  QCoreApplication::processEvents();
  QVERIFY(!part_of<QTimer>(chart_, "Timer1")->isActive());
  QCOMPARE(chart_->hiddenLog().lines().size(), std::size_t(1));
  QCOMPARE(chart_->surface().pixel(0, 0), kBlackPixel);
}

void ChartWindowTest::invalidated_area_is_white_until_the_tick() {
  showChart();
  chart_->image_Pattern(9);
  chart_->Timer1Timer();
  QCoreApplication::processEvents();
  QVERIFY(!part_of<QTimer>(chart_, "Timer1")->isActive());

  chart_->update(QRect(10, 10, 20, 20));  // as the window system invalidates an area
  QCoreApplication::processEvents();
  QCOMPARE(chart_->surface().pixel(15, 15), kWhitePixel);
  QCOMPARE(chart_->surface().pixel(50, 50), kBlackPixel);
  QVERIFY(part_of<QTimer>(chart_, "Timer1")->isActive());
  QCOMPARE(chart_->hiddenLog().lines().size(), std::size_t(2));

  chart_->Timer1Timer();
  QCOMPARE(chart_->surface().pixel(15, 15), kBlackPixel);
}

void ChartWindowTest::focus_changes_keep_the_picture_data() {
  QTest::addColumn<int>("pattern");
  QTest::addColumn<QString>("change");
  for (const char* change : {"activate another window", "lose and regain focus", "open a menu"}) {
    QTest::newRow(qPrintable(QString("black, ") + change)) << 9 << QString(change);
  }
  // The tilted grid must not come back as the square grid: no redraw may run at all.
  QTest::newRow("pattern 4, activate another window") << 4 << "activate another window";
}

void ChartWindowTest::focus_changes_keep_the_picture() {
  QFETCH(int, pattern);
  QFETCH(QString, change);
  showChart();
  chart_->image_Pattern(pattern);
  chart_->Timer1Timer();
  QCoreApplication::processEvents();
  QVERIFY(!part_of<QTimer>(chart_, "Timer1")->isActive());
  const auto picture = [this] {
    const lumigrid::Surface& surface = chart_->surface();
    return QByteArray(reinterpret_cast<const char*>(surface.data()),
                      qsizetype(surface.stride()) * surface.height());
  };
  const QByteArray before = picture();
  const std::size_t log_lines = chart_->hiddenLog().lines().size();

  if (change == "activate another window") {
    adjust_->show();
    QVERIFY(QTest::qWaitForWindowExposed(adjust_));
    adjust_->activateWindow();
    QTRY_VERIFY(adjust_->isActiveWindow());
    chart_->activateWindow();
    QTRY_VERIFY(chart_->isActiveWindow());
  } else if (change == "lose and regain focus") {
    chart_->clearFocus();
    chart_->setFocus(Qt::ActiveWindowFocusReason);
  } else {
    part_of<QMenu>(chart_, "PopupMenu1")->popup(chart_->mapToGlobal(QPoint(50, 50)));
    QTRY_VERIFY(part_of<QMenu>(chart_, "PopupMenu1")->isVisible());
    part_of<QMenu>(chart_, "PopupMenu1")->close();
  }
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();

  QVERIFY(!part_of<QTimer>(chart_, "Timer1")->isActive());
  QCOMPARE(chart_->hiddenLog().lines().size(), log_lines);
  QVERIFY(picture() == before);
}

void ChartWindowTest::f11_covers_the_screen_and_escape_restores() {
  showChart();
  chart_->setGeometry(120, 90, 400, 300);
  QCoreApplication::processEvents();
  const QRect normal = chart_->geometry();

  QTest::keyRelease(chart_, Qt::Key_F11);
  QCoreApplication::processEvents();
  QVERIFY(chart_->isFullScreen());
  QVERIFY(chart_->state().is_full_screen);
  QCOMPARE(chart_->geometry(), chart_->screen()->geometry());
  QCOMPARE(chart_->surface().width(), chart_->screen()->geometry().width());

  QTest::keyRelease(chart_, Qt::Key_Escape);
  QCoreApplication::processEvents();
  QVERIFY(!chart_->isFullScreen());
  QVERIFY(!chart_->state().is_full_screen);
  QCOMPARE(chart_->geometry(), normal);
  QCOMPARE(chart_->windowTitle(), QString(kChartCaption));

  QTest::keyRelease(chart_, Qt::Key_F11);  // and once more: F11 toggles
  QCoreApplication::processEvents();
  QVERIFY(chart_->isFullScreen());
  QTest::keyRelease(chart_, Qt::Key_F11);
  QCoreApplication::processEvents();
  QVERIFY(!chart_->isFullScreen());
  QCOMPARE(chart_->geometry(), normal);
}

void ChartWindowTest::escape_before_full_screen_keeps_bounds() {
  showChart();
  // A full-screen round trip first: a later Escape (closing a menu, a box, a dialog) must not
  // bring back the bounds from before it once the window has been moved.
  QTest::keyRelease(chart_, Qt::Key_F11);
  QCoreApplication::processEvents();
  QTest::keyRelease(chart_, Qt::Key_Escape);
  QCoreApplication::processEvents();
  QVERIFY(!chart_->isFullScreen());
  chart_->setGeometry(140, 70, 500, 320);
  QCoreApplication::processEvents();
  const QRect bounds = chart_->geometry();
  QTest::keyRelease(chart_, Qt::Key_Escape);
  QCoreApplication::processEvents();
  QCOMPARE(chart_->geometry(), bounds);
  QVERIFY(!chart_->isFullScreen());
  QCOMPARE(chart_->windowTitle(), QString(kChartCaption));
  // Nor does an Escape in the adjust window.
  adjust_->show();
  QVERIFY(QTest::qWaitForWindowExposed(adjust_));
  QTest::keyRelease(adjust_, Qt::Key_Escape);
  QCoreApplication::processEvents();
  QCOMPARE(chart_->geometry(), bounds);
  QVERIFY(!chart_->isFullScreen());
}

void ChartWindowTest::maximized_window_goes_full_screen_at_its_paint() {
  chart_->showMaximized();
  QVERIFY(QTest::qWaitForWindowExposed(chart_));
  QTRY_VERIFY(chart_->isFullScreen());
  QVERIFY(!chart_->state().is_full_screen);
  QCOMPARE(chart_->savedBounds().window_state, Qt::WindowMaximized);
  const auto& lines = chart_->hiddenLog().lines();
  QVERIFY(std::find(lines.begin(), lines.end(), "FormPaint full") != lines.end());
}

void ChartWindowTest::resting_cursor_hides_in_full_screen() {
  // The cursor rests: its timer runs out at once.
  const auto rest = [this] {
    part_of<QTimer>(chart_, "CursorTimer")->setInterval(0);
    part_of<QTimer>(chart_, "CursorTimer")->start();
    QTRY_VERIFY(!part_of<QTimer>(chart_, "CursorTimer")->isActive());
  };
  showChart();
  rest();  // outside full screen nothing hides
  QCOMPARE(chart_->cursor().shape(), Qt::ArrowCursor);

  QTest::keyRelease(chart_, Qt::Key_F11);
  QTRY_VERIFY(chart_->isFullScreen());
  QVERIFY(part_of<QTimer>(chart_, "CursorTimer")->isActive());
  rest();
  QCOMPARE(chart_->cursor().shape(), Qt::BlankCursor);

  QTest::mouseMove(chart_, QPoint(40, 30));
  QCOMPARE(chart_->cursor().shape(), Qt::ArrowCursor);
  QVERIFY(part_of<QTimer>(chart_, "CursorTimer")->isActive());  // and it hides again once it rests
  rest();
  QCOMPARE(chart_->cursor().shape(), Qt::BlankCursor);

  QTest::keyRelease(chart_, Qt::Key_Escape);
  QTRY_VERIFY(!chart_->isFullScreen());
  QCOMPARE(chart_->cursor().shape(), Qt::ArrowCursor);  // back for good outside full screen
  QVERIFY(!part_of<QTimer>(chart_, "CursorTimer")->isActive());
}

void ChartWindowTest::resting_cursor_hides_after_an_owned_window_went_data() {
  QTest::addColumn<bool>("viewer");  // else the adjust window
  QTest::addColumn<bool>("closed");  // else the toolkit drops its native window
  QTest::newRow("adjust window closed") << false << true;
  QTest::newRow("viewer closed") << true << true;
  QTest::newRow("adjust window's native window dropped") << false << false;
  QTest::newRow("viewer's native window dropped") << true << false;
}

void ChartWindowTest::resting_cursor_hides_after_an_owned_window_went() {
  QFETCH(bool, viewer);
  QFETCH(bool, closed);
  auto* list = part_of<QComboBox>(adjust_, "ComboBox1");
  if (viewer) list->setEditText("640x480");  // the viewer's page and its controls
  showChart();
  QWidget* window = viewer ? static_cast<QWidget*>(viewer_) : adjust_;
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window));
  // The mouse crosses one of its controls: the toolkit remembers that control as the one under
  // the mouse.
  QWidget* control = viewer ? part_of<QWidget>(viewer_, "Image1") : list;
  QTest::mouseMove(window->windowHandle(), control->mapTo(window, control->rect().center()));
  if (closed) {
    window->close();  // as the window manager's close button does
    // Its controls get a native window of their own again, not the chart's.
    QTRY_VERIFY(window->internalWinId() != 0);
    QCOMPARE(control->effectiveWinId(), window->internalWinId());
  } else {
    window->windowHandle()->destroy();
  }
  QVERIFY(!window->isVisible());

  chart_->activateWindow();
  QTest::keyRelease(chart_, Qt::Key_F11);
  QTRY_VERIFY(chart_->isFullScreen());
  auto* cursor_timer = part_of<QTimer>(chart_, "CursorTimer");
  cursor_timer->setInterval(0);
  cursor_timer->start();
  QTRY_VERIFY(!cursor_timer->isActive());
  // The chart's own native window gets the blank cursor, not a control of the window gone.
  QCOMPARE(chart_->cursor().shape(), Qt::BlankCursor);
  QCOMPARE(chart_->windowHandle()->cursor().shape(), Qt::BlankCursor);

  // A movement brings it back, there too (the toolkit passes on no move to where the cursor is).
  cursor_timer->setInterval(60'000);
  QTest::mouseMove(chart_, QPoint(40, 30));
  QTest::mouseMove(chart_, QPoint(50, 40));
  QCOMPARE(chart_->windowHandle()->cursor().shape(), Qt::ArrowCursor);
  QVERIFY(errors_.isEmpty());
}

void ChartWindowTest::context_menu_flips_window_visibility() {
  showChart();
  for (bool expected : {true, false, true}) {
    chart_->PopupMenu1Popup();
    part_of<QAction>(chart_, "Action_show_adjust_form")->trigger();
    QCOMPARE(adjust_->isVisible(), expected);
  }
  // Checked at creation, but synchronised with the hidden viewer when the menu opens.
  chart_->PopupMenu1Popup();
  QVERIFY(!part_of<QAction>(chart_, "Action_Show_Printable_page")->isChecked());
  part_of<QAction>(chart_, "Action_Show_Printable_page")->trigger();
  QVERIFY(viewer_->isVisible());
}

void ChartWindowTest::menu_key_release_reaches_the_caption_data() {
  QTest::addColumn<bool>("shift_f10");  // else the Menu key
  QTest::addColumn<QString>("caption");
  QTest::newRow("Menu key") << false << "Duzov Urorezo Key press:93  ";
  QTest::newRow("Shift+F10") << true << "Duzov Urorezo Key press:121  ";
}

void ChartWindowTest::menu_key_release_reaches_the_caption() {
  QFETCH(bool, shift_f10);
  QFETCH(QString, caption);
  showChart();
  // The key opens the menu as it goes down; the menu holds the keyboard when it comes up.
  bool opened = false;
  QTimer::singleShot(0, chart_, [this, shift_f10, &opened] {
    opened = part_of<QMenu>(chart_, "PopupMenu1")->isVisible();
    if (shift_f10) {
      send_key(part_of<QMenu>(chart_, "PopupMenu1"), QEvent::KeyRelease, Qt::Key_F10,
               Qt::ShiftModifier);
    } else {
      send_key(part_of<QMenu>(chart_, "PopupMenu1"), QEvent::KeyRelease, Qt::Key_Menu);
    }
    part_of<QMenu>(chart_, "PopupMenu1")->close();
  });
  if (shift_f10) {
    send_key(chart_, QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
  } else {
    // The window system turns the Menu key into a menu request to the focus.
    QContextMenuEvent opened_by_key(QContextMenuEvent::Keyboard, QPoint(50, 50),
                                    chart_->mapToGlobal(QPoint(50, 50)));
    QCoreApplication::sendEvent(chart_, &opened_by_key);
  }
  QVERIFY(opened);
  QCOMPARE(chart_->windowTitle(), caption);
  QVERIFY(errors_.isEmpty());
}

void ChartWindowTest::menu_shows_a_window_active_on_its_first_control_data() {
  QTest::addColumn<int>("downs");  // Down presses in the menu to the entry
  QTest::addColumn<bool>("with_page");
  QTest::addColumn<bool>("reopened");          // shown before, its focus moved on, then closed
  QTest::addColumn<QString>("first_control");  // the focus's object name
  // The first control by the layout: the V scroll bar at the top left.
  QTest::newRow("adjust window") << 1 << false << false << "ScrollBar_V";
  QTest::newRow("adjust window reopened") << 1 << false << true << "ScrollBar_V";
  QTest::newRow("viewer with a page") << 2 << true << false << "ScrollBox1";
  // No page, no scroll box: the viewer itself has the keyboard.
  QTest::newRow("viewer before the first page") << 2 << false << false << "";
}

void ChartWindowTest::menu_shows_a_window_active_on_its_first_control() {
  QFETCH(int, downs);
  QFETCH(bool, with_page);
  QFETCH(bool, reopened);
  QFETCH(QString, first_control);
  if (with_page) part_of<QComboBox>(adjust_, "ComboBox1")->setEditText("640x480");
  showChart();
  QWidget* window = downs == 1 ? static_cast<QWidget*>(adjust_) : viewer_;
  if (reopened) {
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    part_of<QComboBox>(adjust_, "ComboBox1")->setFocus();
    window->close();
  }
  chart_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(chart_));
  // The entry is chosen by key in the menu the Menu key opened.
  QTimer::singleShot(0, chart_, [this, downs] {
    QVERIFY(part_of<QMenu>(chart_, "PopupMenu1")->isVisible());
    for (int i = 0; i < downs; ++i)
      QTest::keyClick(part_of<QMenu>(chart_, "PopupMenu1"), Qt::Key_Down);
    QTest::keyClick(part_of<QMenu>(chart_, "PopupMenu1"), Qt::Key_Return);
  });
  QContextMenuEvent opened_by_key(QContextMenuEvent::Keyboard, QPoint(50, 50),
                                  chart_->mapToGlobal(QPoint(50, 50)));
  QCoreApplication::sendEvent(chart_, &opened_by_key);
  QVERIFY(window->isVisible());
  QVERIFY(QTest::qWaitForWindowActive(window));
  QWidget* focus = QApplication::focusWidget();
  QVERIFY(focus != nullptr);
  QCOMPARE(focus->window(), window);
  if (first_control.isEmpty()) {
    QCOMPARE(focus, window);
  } else {
    QCOMPARE(focus->objectName(), first_control);
  }
  // Owned by the chart window, in front of it.
  QVERIFY(window->windowHandle() != nullptr);
  QCOMPARE(window->windowHandle()->transientParent(), chart_->windowHandle());
  QVERIFY(errors_.isEmpty());
}

void ChartWindowTest::save_dialog_data() {
  QTest::addColumn<QString>("entry");     // the type chosen first; empty: as the dialog opens
  QTest::addColumn<QString>("typed");     // empty: cancel
  QTest::addColumn<QString>("written");   // empty: nothing
  QTest::addColumn<QByteArray>("magic");  // the file's first bytes
  QTest::newRow("name without extension gets bmp") << QString() << "shot"
                                                   << "shot.bmp" << QByteArray("BM");
  QTest::newRow("upper-case PNG") << QString() << "shot.PNG"
                                  << "shot.PNG" << QByteArray("\x89PNG");
  QTest::newRow("jpg") << QString() << "shot.jpg"
                       << "shot.jpg" << QByteArray("\xFF\xD8");
  QTest::newRow("gif") << QString() << "shot.gif"
                       << "shot.gif" << QByteArray("GIF8");
  QTest::newRow("jpeg writes a jpeg") << QString() << "shot.jpeg"
                                      << "shot.jpeg" << QByteArray("\xFF\xD8");
  QTest::newRow("tif") << QString() << "shot.tif"
                       << "shot.tif" << QByteArray("II*\0", 4);
  QTest::newRow("pdf") << QString() << "shot.pdf"
                       << "shot.pdf" << QByteArray("%PDF-");
  QTest::newRow("ico writes a bitmap") << QString() << "shot.ico"
                                       << "shot.ico" << QByteArray("BM");
  QTest::newRow("pdf entry gives its extension") << "PDF at true size (*.pdf)"
                                                 << "shot"
                                                 << "shot.pdf" << QByteArray("%PDF-");
  QTest::newRow("png entry gives its extension") << "Portable Network Graphics (*.png)"
                                                 << "shot"
                                                 << "shot.png" << QByteArray("\x89PNG");
  QTest::newRow("all entry gives bmp")
      << "All (*.gif;*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.tif;*.tiff)"
      << "shot"
      << "shot.bmp" << QByteArray("BM");
  QTest::newRow("cancel writes nothing") << QString() << QString() << QString() << QByteArray();
}

void ChartWindowTest::save_dialog() {
  QFETCH(QString, entry);
  QFETCH(QString, typed);
  QFETCH(QString, written);
  QFETCH(QByteArray, magic);
  showChart();
  QString offered;
  whenDialogOpens([&](QFileDialog* dialog) {
    offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
    chart_->image_Pattern(9);  // painted while the dialog is open: not in the file
    if (typed.isEmpty()) {
      dialog->reject();
      return;
    }
    if (!entry.isEmpty()) {
      // As the operator does: the entry from the dialog's list, which tells the dialog.
      QString filter;
      for (const QString& offered_filter : dialog->nameFilters())
        if (offered_filter.startsWith(entry)) filter = offered_filter;
      QVERIFY(!filter.isEmpty());
      dialog->selectNameFilter(filter);
      emit dialog->filterSelected(filter);
    }
    dialog->selectFile(dir_->filePath(typed));
    static_cast<QDialog*>(dialog)->accept();
  });
  QTest::mouseDClick(chart_, Qt::LeftButton, {}, QPoint(20, 20));

  QVERIFY2(QRegularExpression(R"(^Image_\d\d_\d\d_\d\d_\d\d\.bmp$)").match(offered).hasMatch(),
           qPrintable(offered));
  QVERIFY(errors_.isEmpty());
  const QStringList files = QDir(dir_->path()).entryList(QDir::Files);
  if (written.isEmpty()) {
    QVERIFY2(files.isEmpty(), qPrintable(files.join(',')));
    return;
  }
  QCOMPARE(files, QStringList{written});
  QCOMPARE(file_head(dir_->filePath(written), int(magic.size())), magic);
  if (magic == "BM") {
    // The pixels are the window's as the dialog opened: white, not the black drawn meanwhile.
    const QByteArray head = file_head(dir_->filePath(written), 64);
    const int pixels_at = qFromLittleEndian<qint32>(head.constData() + 10);
    QCOMPARE(quint8(file_head(dir_->filePath(written), pixels_at + 1).back()), quint8(0xFF));
  }
}

void ChartWindowTest::double_click_on_an_inactive_chart_saves_its_picture() {
  showChart();
  chart_->image_Pattern(9);
  chart_->Timer1Timer();
  adjust_->show();
  QVERIFY(QTest::qWaitForWindowExposed(adjust_));
  adjust_->activateWindow();
  QTRY_VERIFY(adjust_->isActiveWindow());
  // The first click activates the chart, the second makes the double-click.
  chart_->activateWindow();
  QTRY_VERIFY(chart_->isActiveWindow());
  whenDialogOpens([&](QFileDialog* dialog) {
    dialog->selectFile(dir_->filePath("shot.bmp"));
    static_cast<QDialog*>(dialog)->accept();
  });
  QTest::mouseDClick(chart_, Qt::LeftButton, {}, QPoint(20, 20));

  QVERIFY(errors_.isEmpty());
  const QString written = dir_->filePath("shot.bmp");
  const QByteArray head = file_head(written, 64);
  QCOMPARE(head.left(2), QByteArray("BM"));
  const int pixels_at = qFromLittleEndian<qint32>(head.constData() + 10);
  // The first pixel's blue, green and red: black, as the chart showed it.
  QCOMPARE(file_head(written, pixels_at + 3).mid(pixels_at), QByteArray(3, '\0'));
}

void ChartWindowTest::save_dialog_keeps_confirmed_filter() {
  showChart();
  const QStringList filters =
      part_of<lumigrid::PictureSaveDialog>(chart_, "SavePictureDialog1")->nameFilters();
  const auto* types = part_of<lumigrid::PictureSaveDialog>(chart_, "SavePictureDialog1")
                          ->findChild<QComboBox*>("fileTypeCombo");
  QVERIFY(types != nullptr);
  QCOMPARE(types->currentIndex(), 0);

  whenDialogOpens([&](QFileDialog* dialog) {
    dialog->selectNameFilter(filters.at(2));
    dialog->selectFile(dir_->filePath("kept.png"));
    static_cast<QDialog*>(dialog)->accept();
  });
  chart_->SaveImage_to_file_4_types(chart_);
  QCOMPARE(types->currentIndex(), 2);

  whenDialogOpens([&](QFileDialog* dialog) {
    dialog->selectNameFilter(filters.at(5));
    dialog->reject();
  });
  chart_->SaveImage_to_file_4_types(chart_);
  QCOMPARE(types->currentIndex(), 2);
}

void ChartWindowTest::save_dialog_lists_descriptions_data() {
  QTest::addColumn<int>("entry");
  QTest::addColumn<QString>("shown");
  QTest::newRow("all pictures")
      << 0 << "All (*.gif;*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.tif;*.tiff)";
  QTest::newRow("gif") << 1 << "GIF Image (*.gif)";
  QTest::newRow("jpg") << 3 << "JPEG Image File (*.jpg)";
  QTest::newRow("jpeg, told apart from jpg") << 4 << "JPEG Image File (*.jpeg)";
  QTest::newRow("tiff, told apart from tif") << 10 << "TIFF Images (*.tiff)";
  QTest::newRow("pdf, last") << 11 << "PDF at true size (*.pdf)";
}

void ChartWindowTest::save_dialog_offers_twelve_types_in_order() {
  auto* types = part_of<lumigrid::PictureSaveDialog>(chart_, "SavePictureDialog1")
                    ->findChild<QComboBox*>("fileTypeCombo");
  QVERIFY(types != nullptr);
  QStringList shown;
  for (int entry = 0; entry < types->count(); ++entry) shown << types->itemText(entry);
  const QStringList expected{
      "All (*.gif;*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.tif;*.tiff)",
      "GIF Image (*.gif)",
      "Portable Network Graphics (*.png)",
      "JPEG Image File (*.jpg)",
      "JPEG Image File (*.jpeg)",
      "Bitmaps (*.bmp)",
      "Icons (*.ico)",
      "Enhanced Metafiles (*.emf)",
      "Metafiles (*.wmf)",
      "TIFF Images (*.tif)",
      "TIFF Images (*.tiff)",
      "PDF at true size (*.pdf)",
  };
  QCOMPARE(shown, expected);
}

void ChartWindowTest::save_dialog_lists_descriptions() {
  QFETCH(int, entry);
  QFETCH(QString, shown);
  auto* types = part_of<lumigrid::PictureSaveDialog>(chart_, "SavePictureDialog1")
                    ->findChild<QComboBox*>("fileTypeCombo");
  QVERIFY(types != nullptr);
  QCOMPARE(types->itemText(entry), shown);
  // Choosing the entry by its filter still finds it.
  part_of<lumigrid::PictureSaveDialog>(chart_, "SavePictureDialog1")
      ->selectNameFilter(part_of<lumigrid::PictureSaveDialog>(chart_, "SavePictureDialog1")
                             ->nameFilters()
                             .at(entry));
  QCOMPARE(types->currentIndex(), entry);
}

void ChartWindowTest::close_writes_settings_file() {
  showChart();
  chart_->image_Pattern(7);
  part_of<ScrollBarControl>(adjust_, "ScrollBar_Space")->setPosition(123);
  QVERIFY(chart_->close());
  const lumigrid::StartupSettings stored =
      lumigrid::read_startup_settings(settings_path_, lumigrid::SliderPositions{});
  QCOMPARE(stored.latest_pattern, 7);
  QCOMPARE(stored.positions.Space, 123);
  QVERIFY(errors_.isEmpty());
}

void ChartWindowTest::only_the_chart_window_close_ends_the_program() {
  // The toolkit tells of the last window's close only while the program's event loop runs.
  QSignalSpy last_closed(qApp, &QGuiApplication::lastWindowClosed);
  int closed_by_the_others = -1;
  showChart();
  QTimer::singleShot(0, qApp, [&] {
    for (QWidget* other : {static_cast<QWidget*>(adjust_), static_cast<QWidget*>(viewer_)}) {
      other->show();
      other->close();
    }
    closed_by_the_others = int(last_closed.count());
    // The others still showing do not keep the program alive.
    adjust_->show();
    viewer_->show();
    chart_->close();
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  });
  QCoreApplication::exec();
  QCOMPARE(closed_by_the_others, 0);
  QCOMPARE(last_closed.count(), 1);
}

void ChartWindowTest::ctrl_w_closes_the_window_it_is_pressed_in_data() {
  QTest::addColumn<QString>("window");
  QTest::addColumn<QString>("control");  // with the focus; empty: the window itself
  QTest::addColumn<bool>("closes");
  QTest::newRow("adjust_edit_box") << "adjust"
                                   << "Edit_H" << true;
  QTest::newRow("adjust_scroll_bar") << "adjust"
                                     << "ScrollBar_HP" << true;
  QTest::newRow("adjust_list") << "adjust"
                               << "ComboBox1" << true;
  QTest::newRow("viewer") << "viewer" << QString() << true;
  // The chart window keeps its own keys: Ctrl+W is only a key release for its caption.
  QTest::newRow("chart") << "chart" << QString() << false;
}

void ChartWindowTest::ctrl_w_closes_the_window_it_is_pressed_in() {
  QFETCH(QString, window);
  QFETCH(QString, control);
  QFETCH(bool, closes);
  showChart();
  const std::map<QString, QWidget*> windows{
      {"chart", chart_}, {"adjust", adjust_}, {"viewer", viewer_}};
  QWidget* target = windows.at(window);
  target->show();
  QVERIFY(QTest::qWaitForWindowExposed(target));
  QCoreApplication::processEvents();
  target->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(target));
  QTRY_COMPARE(QApplication::activeWindow(), target);
  QWidget* focus = control.isEmpty() ? target : target->findChild<QWidget*>(control);
  QVERIFY(focus != nullptr);
  focus->setFocus(Qt::OtherFocusReason);
  const QString caption = chart_->windowTitle();
  QTest::keyPress(focus, Qt::Key_W, Qt::ControlModifier);
  QCoreApplication::processEvents();
  QCOMPARE(target->isVisible(), !closes);
  QVERIFY(chart_->isVisible());
  if (closes) {
    // The W comes up in the chart window, now in front (Ctrl already up): it is no key of the
    // chart's, whose caption would show its code.
    QTest::keyRelease(chart_, Qt::Key_W);
    QCOMPARE(chart_->windowTitle(), caption);
  }
  QCOMPARE(errors_, QStringList());
}

// A screen reader announces each window as a window, not as a filler inside one, and can tell
// what it is for.
void ChartWindowTest::screen_reader_sees_windows_with_descriptions() {
  for (QWidget* window : {static_cast<QWidget*>(chart_), static_cast<QWidget*>(adjust_),
                          static_cast<QWidget*>(viewer_)}) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(window);
    QVERIFY(face != nullptr);
    QCOMPARE(face->role(), QAccessible::Window);
    QVERIFY2(!face->text(QAccessible::Description).trimmed().isEmpty(),
             window->metaObject()->className());
  }
}

void ChartWindowTest::close_with_unwritable_settings_stays_open() {
  // A regular file where the settings folder should be: no one can write below it.
  const QString blocker = dir_->filePath("not-a-folder");
  {
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  const std::filesystem::path unwritable =
      std::filesystem::path(blocker.toStdString()) / "lumigrid.INI";
  windows_.reset();
  windows_ =
      std::make_unique<lumigrid::WindowSet>(unwritable, lumigrid::WindowSet::Start::WindowsOnly);
  chart_ = windows_->chart();
  adjust_ = windows_->adjust();
  viewer_ = windows_->viewer();
  showChart();

  for (int attempt = 1; attempt <= 2; ++attempt) {
    QVERIFY(!chart_->close());
    QVERIFY(chart_->isVisible());
    QCOMPARE(errors_.size(), attempt);
    QCOMPARE(errors_.back(), QString::fromStdString("Unable to write to " + unwritable.string()));
  }
}

void ChartWindowTest::too_large_settings_file_is_named_in_the_log() {
  windows_.reset();
  {
    std::ofstream settings(settings_path_);
    settings << "[Latest Setting]\nScrollBar_H=7\n";
  }
  std::filesystem::resize_file(settings_path_, lumigrid::kMaxSettingsFileBytes + 1);  // a hole
  createWindowSet();
  const auto& lines = chart_->hiddenLog().lines();
  QCOMPARE(lines.size(), std::size_t(1));
  QCOMPARE(lines.front(), std::string("lumigrid.INI is larger than 64 MiB and is not read"));
  showChart();  // said once, not at every drawing
  chart_->image_Pattern(1);
  QCOMPARE(std::count(lines.begin(), lines.end(), lines.front()), 1);
}

void ChartWindowTest::failing_timer_drawing_is_reported_once() {
  {
    // A colour chart of no columns divides by zero.
    std::ofstream settings(settings_path_);
    settings << "[Dynamic Range]\ncolor X=0\ncolor Y=4\n";
  }
  showChart();
  chart_->state().current_pattern = 1;
  part_of<QTimer>(chart_, "Timer1")->setInterval(0);  // tick as soon as the loop runs
  QTRY_COMPARE(errors_.size(), 1);
  QCOMPARE(errors_.front(), QString("Floating point division by zero"));
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  QVERIFY(!part_of<QTimer>(chart_, "Timer1")->isActive());
  QCOMPARE(errors_.size(), 1);
}

void ChartWindowTest::dismissing_an_error_box_brings_no_other() {
  {
    std::ofstream settings(settings_path_);
    settings << "[Dynamic Range]\ncolor X=0\ncolor Y=4\n";
  }
  showChart();
  chart_->state().current_pattern = 1;
  part_of<QTimer>(chart_, "Timer1")->setInterval(0);
  QTRY_COMPARE(errors_.size(), 1);
  // The box goes and the window system invalidates what it covered.
  const auto box_dismissed = [this] {
    chart_->update(QRect(100, 100, 300, 120));
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  };
  box_dismissed();
  QVERIFY(!part_of<QTimer>(chart_, "Timer1")->isActive());
  QCOMPARE(errors_.size(), 1);

  // Each drawing the operator asks for fails once more, once.
  QTest::keyRelease(chart_, Qt::Key_1);
  QCOMPARE(errors_.size(), 2);
  box_dismissed();
  QVERIFY(!part_of<QTimer>(chart_, "Timer1")->isActive());
  chart_->resize(chart_->width() - 10, chart_->height());
  QTRY_COMPARE(errors_.size(), 3);
  box_dismissed();
  QVERIFY(!part_of<QTimer>(chart_, "Timer1")->isActive());
  QCOMPARE(errors_.size(), 3);
}

void ChartWindowTest::handler_error_is_shown_and_loop_goes_on() {
  FailingObject failing;
  QEvent event(QEvent::User);
  QCOMPARE(QCoreApplication::sendEvent(&failing, &event), false);
  QCOMPARE(errors_, QStringList{"Floating point division by zero"});

  // The program stays usable.
  showChart();
  QTest::keyRelease(chart_, Qt::Key_9);
  QCOMPARE(chart_->state().current_pattern, 9);
}

int main(int argc, char** argv) {
  lumigrid::LumigridApplication app(argc, argv);
  ChartWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "chart_window_test.moc"
