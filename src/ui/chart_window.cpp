#include "ui/chart_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "export/image_export.h"
#include "settings/settings.h"
#include "ui/busy_progress.h"
#include "ui/device_pixels.h"
#include "ui/error_reporting.h"
#include "ui/key_codes.h"
#include "ui/owned_window.h"
#include "ui/picture_save_dialog.h"
#include "ui/window_accessibility.h"

namespace {

constexpr int kRepaintDelayMs = 1000;
constexpr int kCursorRestMs = 2000;  // a cursor resting this long over the full-screen chart goes

char locale_decimal_separator() {
  const QString point = QLocale().decimalPoint();
  return point.size() == 1 && point.at(0).unicode() < 0x80 ? char(point.at(0).unicode()) : '.';
}

std::tm local_time_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// The window system erases what it invalidates to the window's white background; the surface is
// the client area, so it loses those pixels as the window would.
void erase_to_white(lumigrid::Surface& surface, const QRect& device_rect) {
  const QRect area = device_rect.intersected(QRect(0, 0, surface.width(), surface.height()));
  if (area.isEmpty()) return;
  const std::size_t offset = std::size_t(area.left()) * 4;
  const std::size_t bytes = std::size_t(area.width()) * 4;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    std::memset(surface.rowData(y) + offset, 0xFF, bytes);  // 0xFFFFFFFF is white
  }
}

// Hides (or shows) the cursor over `window`, on its own native window too. The toolkit hands a
// window's cursor to the control it last saw under the mouse when that control seems to share
// the native window; a control of an owned window whose native window is gone seems to share
// the owner's, and the chart would keep that control's cursor instead of the blank one.
void set_cursor_hidden(QWidget& window, bool hidden) {
  if (hidden) {
    window.setCursor(Qt::BlankCursor);
  } else {
    window.unsetCursor();
  }
  if (QWindow* native = window.windowHandle()) native->setCursor(window.cursor());
}

}  // namespace

TForm_full_screen_chart::TForm_full_screen_chart(lumigrid::SettingsLocation settings,
                                                 QWidget* parent)
    : QWidget(parent, Qt::Window),
      settings_(std::move(settings)),
      surface_(lumigrid::kChartClientWidth, lumigrid::kChartClientHeight,
               lumigrid::PixelFormat::Rgb32) {
  lumigrid::announce_window(
      this, QStringLiteral("Test pattern. The digit keys 0 to 9 draw the patterns, F11 covers the "
                           "screen and Escape leaves it, Shift or Ctrl with the arrows resizes "
                           "or moves the window; the Menu key or Shift+F10 opens the menu"));
  setWindowTitle(kChartCaption);
  resize(lumigrid::kChartClientWidth, lumigrid::kChartClientHeight);
  setFont(QFont("Tahoma", 8));
  setFocusPolicy(Qt::StrongFocus);
  // Every pixel comes from the surface; the toolkit need not clear anything first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_QuitOnClose);
  // A change of active window invalidates nothing: the same colours whether active or not, so
  // the toolkit has no reason to repaint (and so erase) the chart when the focus moves.
  QPalette same_when_inactive = palette();
  for (int role = 0; role < QPalette::NColorRoles; ++role) {
    const auto colour_role = QPalette::ColorRole(role);
    same_when_inactive.setBrush(QPalette::Inactive, colour_role,
                                same_when_inactive.brush(QPalette::Active, colour_role));
  }
  setPalette(same_when_inactive);

  lumigrid::ChartPainter::Hooks hooks;
  hooks.live_values = [this] {
    return links_.live_values ? links_.live_values() : lumigrid::LivePatternValues{};
  };
  hooks.log = [this](const std::string& line) { ListBox1.append(line); };
  painter_ = std::make_unique<lumigrid::ChartPainter>(surface_, state_, settings_, std::move(hooks),
                                                      locale_decimal_separator());
  // A settings file too large to read leaves the stored positions and the colour charts at
  // their defaults: the program says so once, on its error output and in its log.
  for (const std::string& warning : lumigrid::settings_file_warnings(settings_)) {
    ListBox1.append(warning);
    std::fprintf(stderr, "lumigrid: %s\n", warning.c_str());
  }

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(kRepaintDelayMs);
  connect(Timer1, &QTimer::timeout, this,
          [this] { lumigrid::run_handler([this] { Timer1Timer(); }); });

  // In full screen the cursor would sit on the pattern: it hides once it rests, and any movement
  // brings it back.
  setMouseTracking(true);
  CursorTimer = new QTimer(this);
  CursorTimer->setObjectName("CursorTimer");
  CursorTimer->setSingleShot(true);
  CursorTimer->setInterval(kCursorRestMs);
  connect(CursorTimer, &QTimer::timeout, this, [this] {
    if (isFullScreen()) set_cursor_hidden(*this, true);
  });

  SavePictureDialog1 = new lumigrid::PictureSaveDialog(this);
  SavePictureDialog1->setObjectName("SavePictureDialog1");

  Action_show_adjust_form = new QAction("Show_Adjust_Form", this);
  Action_show_adjust_form->setCheckable(true);
  Action_show_adjust_form->setChecked(false);
  Action_Show_Printable_page = new QAction("Show_Printable_page", this);
  Action_Show_Printable_page->setCheckable(true);
  Action_Show_Printable_page->setChecked(true);
  Action_About = new QAction("About", this);
  Action_show_adjust_form->setObjectName("Action_show_adjust_form");
  Action_Show_Printable_page->setObjectName("Action_Show_Printable_page");
  Action_About->setObjectName("Action_About");
  // A checkable action has flipped its check before `triggered` arrives.
  connect(Action_show_adjust_form, &QAction::triggered, this,
          [this] { lumigrid::run_handler([this] { Action_show_adjust_formExecute(); }); });
  connect(Action_Show_Printable_page, &QAction::triggered, this,
          [this] { lumigrid::run_handler([this] { Action_Show_Printable_pageExecute(); }); });
  connect(Action_About, &QAction::triggered, this,
          [this] { lumigrid::run_handler([this] { Action_AboutExecute(); }); });

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction(Action_show_adjust_form);
  PopupMenu1->addAction(Action_Show_Printable_page);
  PopupMenu1->addAction(Action_About);
  // The test screens, each with the letter that picks it: choosing one is pressing its key.
  DisplayTestsMenu = PopupMenu1->addMenu("Display tests");
  DisplayTestsMenu->setObjectName("DisplayTestsMenu");
  for (const lumigrid::DisplayTestInfo& info : lumigrid::kDisplayTests) {
    const QString text =
        QString::fromUtf8(info.name.data(), qsizetype(info.name.size())) + '\t' + QChar(info.key);
    QAction* action = DisplayTestsMenu->addAction(text);
    connect(action, &QAction::triggered, this, [this, test = info.test] {
      lumigrid::run_handler([this, test] { showDisplayTest(test); });
    });
  }
  // The ruler screen's letter with the test screens: choosing it is pressing R.
  DisplayTestsMenu->addSeparator();
  QAction* ruler =
      DisplayTestsMenu->addAction(QString("Ruler and calibration\t") + QChar(lumigrid::kRulerKey));
  ruler->setObjectName("RulerScreenAction");
  connect(ruler, &QAction::triggered, this, [this] {
    lumigrid::run_handler([this] {
      if (!state_.ruler_shown) showRulerScreen();
    });
  });
  connect(PopupMenu1, &QMenu::aboutToShow, this,
          [this] { lumigrid::run_handler([this] { PopupMenu1Popup(); }); });
  // The Menu key opens the menu as it goes down; the menu then takes the keyboard, so its
  // release arrives there.
  PopupMenu1->installEventFilter(this);
}

TForm_full_screen_chart::~TForm_full_screen_chart() {
  // The painter refers to the surface and the state; it goes first.
  painter_.reset();
}

void TForm_full_screen_chart::setLinks(Links links) {
  links_ = std::move(links);
}

void TForm_full_screen_chart::image_Pattern(std::int32_t pattern_Num) {
  drawing_failed_ = false;
  try {
    painter_->image_Pattern(pattern_Num);
  } catch (...) {
    drawing_failed_ = true;
    present();  // what the drawer painted before it failed stays on screen
    throw;
  }
  present();
}

void TForm_full_screen_chart::showDisplayTest(lumigrid::DisplayTest test) {
  drawing_failed_ = false;
  try {
    painter_->showDisplayTest(test);
  } catch (...) {
    drawing_failed_ = true;
    present();
    throw;
  }
  present();
}

lumigrid::MonitorScale TForm_full_screen_chart::monitorScale() const {
  const QScreen* on = screen();
  if (on == nullptr) return {};
  return lumigrid::monitor_scale(*on, settings_);
}

void TForm_full_screen_chart::showRulerScreen() {
  const lumigrid::MonitorScale monitor = monitorScale();
  ruler_adjusted_ = false;
  drawing_failed_ = false;
  try {
    painter_->showRulerScreen(monitor.scale.mm_per_pixel,
                              lumigrid::describe_screen_scale(monitor.scale));
  } catch (...) {
    drawing_failed_ = true;
    present();
    throw;
  }
  present();
}

void TForm_full_screen_chart::leaveRulerScreen() {
  ruler_adjusted_ = false;
  // The pattern the ruler covered comes back; its number stays the one stored at exit.
  const std::int32_t pattern = state_.current_pattern;
  image_Pattern(pattern);
}

void TForm_full_screen_chart::present() {
  presenting_ = true;
  repaint();
  presenting_ = false;
}

bool TForm_full_screen_chart::showsMaximized() const {
  // Full screen is this window maximized without a frame.
  return (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) != 0;
}

void TForm_full_screen_chart::rememberNormalGeometry() {
  if ((windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) == 0) {
    normal_geometry_ = geometry();
  }
}

void TForm_full_screen_chart::fullScreen(bool full_screen) {
  if (full_screen) {
    const QRect frame = frameGeometry();
    saved_.left = frame.x();
    saved_.top = frame.y();
    saved_.width = frame.width();
    saved_.height = frame.height();
    saved_.window_state = isMinimized()      ? Qt::WindowMinimized
                          : showsMaximized() ? Qt::WindowMaximized
                                             : Qt::WindowNoState;
    if (saved_.window_state == Qt::WindowNoState) {
      restore_geometry_ = geometry();
    } else if (!isFullScreen() && normal_geometry_.isValid()) {
      restore_geometry_ = normal_geometry_;  // maximized with the caption button
    }
    if (isFullScreen()) return;
    if (in_paint_) {
      // A window's state is not changed from inside its own paint.
      QTimer::singleShot(0, this, [this] { setWindowState(Qt::WindowFullScreen); });
    } else {
      setWindowState(Qt::WindowFullScreen);
    }
    return;
  }

  // Only a window in full screen goes back to its bounds: an Escape (in this window or the
  // adjust window) that closed a menu, a box or a dialog must not move a window placed since.
  if (!isFullScreen()) return;
  rememberNormalGeometry();
  setWindowState(Qt::WindowNoState);
  if (restore_geometry_.isValid()) {
    // Back to exactly the bounds before full screen, however many round trips are made.
    setGeometry(restore_geometry_);
  }
  repaint();  // at once, as the window system would: the paint handler runs
}

void TForm_full_screen_chart::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
  const int step = key == int(last_key_) ? 10 : 1;
  const bool resizes = shift.testFlag(Qt::ShiftModifier);
  const bool moves = shift.testFlag(Qt::ControlModifier);
  const bool arrow = key >= lumigrid::kVkLeft && key <= lumigrid::kVkDown;
  if (arrow && state_.ruler_shown && !moves) {
    // The ruler screen's arrows change the size of a pixel until a card laid on the screen
    // matches the outline: Right and Up larger, Left and Down smaller, Shift ten times as much.
    const bool larger = key == lumigrid::kVkRight || key == lumigrid::kVkUp;
    const double pitch = lumigrid::step_calibration(state_.ruler_mm_per_pixel, larger, resizes);
    ruler_adjusted_ = true;
    painter_->showRulerScreen(pitch, "calibrating: Return stores it, R leaves unchanged");
    present();
    last_key_ = std::uint8_t(key & 0xFF);
    return;
  }
  if (arrow && (resizes || moves)) {
    // Auto-repeat can outrun the window manager: build on the bounds last asked for until it
    // has answered.
    QRect bounds = pending_geometry_.isValid() ? pending_geometry_ : geometry();
    if (resizes) {
      if (key == lumigrid::kVkLeft) bounds.setWidth(bounds.width() - step);
      if (key == lumigrid::kVkUp) bounds.setHeight(bounds.height() - step);
      if (key == lumigrid::kVkRight) bounds.setWidth(bounds.width() + step);
      if (key == lumigrid::kVkDown) bounds.setHeight(bounds.height() + step);
    }
    if (moves) {
      if (key == lumigrid::kVkLeft) bounds.translate(-step, 0);
      if (key == lumigrid::kVkUp) bounds.translate(0, -step);
      if (key == lumigrid::kVkRight) bounds.translate(step, 0);
      if (key == lumigrid::kVkDown) bounds.translate(0, step);
    }
    pending_geometry_ = bounds;
    setGeometry(bounds);
  }
  last_key_ = std::uint8_t(key & 0xFF);
}

void TForm_full_screen_chart::FormKeyUp(int key, Qt::KeyboardModifiers /*shift*/) {
  setWindowTitle(QString::asprintf("Duzov Urorezo Key press:%2d  ", key));
  const lumigrid::KeyCommand command = lumigrid::run_key_command(*this, key);
  if (command == lumigrid::KeyCommand::LeaveFullScreen) setWindowTitle(kChartCaption);
  // Letters are the chart's own: the adjust window's fields take them as text.
  if (command == lumigrid::KeyCommand::None) {
    if (const auto test = lumigrid::display_test_for_key(key)) showDisplayTest(*test);
    if (key == int(lumigrid::kRulerKey)) {
      if (state_.ruler_shown) {
        leaveRulerScreen();
      } else {
        showRulerScreen();
      }
    } else if (state_.ruler_shown && (key == lumigrid::kVkReturn || key == lumigrid::kVkDelete)) {
      const lumigrid::MonitorScale monitor = monitorScale();
      lumigrid::write_monitor_calibration(settings_, monitor.calibration_name,
                                          key == lumigrid::kVkReturn
                                              ? std::optional<double>(state_.ruler_mm_per_pixel)
                                              : std::nullopt);
      showRulerScreen();
    }
  }
}

void TForm_full_screen_chart::FormPaint() {
  if (Timer1->isActive()) return;
  // After a failed drawing, the error box's own leaving uncovers the chart: redrawing for that
  // would fail again and bring back the box without end. The next drawing the operator causes
  // (a key, a new size, the adjust window) tries again.
  if (!drawing_failed_) Timer1->start();
  ListBox1.append("FormPaint!");
  if (showsMaximized()) {
    ListBox1.append("FormPaint full");
    fullScreen(true);
  }
}

void TForm_full_screen_chart::Timer1Timer() {
  // Stopped before drawing: a drawing that fails must not come back every second.
  Timer1->stop();
  // The ruler screen follows the window to its monitor, unless the arrows are calibrating it.
  if (state_.ruler_shown && !ruler_adjusted_) {
    showRulerScreen();
    return;
  }
  // A test screen is drawn again at the window's new size; otherwise the current pattern.
  drawing_failed_ = false;
  bool redrawn = false;
  try {
    redrawn = painter_->redrawDisplayTest();
  } catch (...) {
    drawing_failed_ = true;
    present();
    throw;
  }
  if (redrawn) {
    present();
    return;
  }
  image_Pattern(state_.current_pattern);
}

void TForm_full_screen_chart::FormDblClick() {
  SaveImage_to_file_4_types(this);
}

void TForm_full_screen_chart::SaveImage_to_file_4_types(QObject* /*object0*/) {
  // The copy is taken before the dialog opens: nothing painted meanwhile reaches the file.
  lumigrid::Surface capture(surface_.width(), surface_.height(), lumigrid::PixelFormat::Rgb32);
  for (int y = 0; y < surface_.height(); ++y) {
    std::memcpy(capture.rowData(y), surface_.rowData(y), std::size_t(surface_.width()) * 4);
  }
  // TIFF and PDF record the capture's size on paper as it was on the monitor: printed at 100 %
  // it has the size it had on the screen.
  const double pixels_per_inch = monitorScale().scale.pixelsPerInch();
  const auto path = SavePictureDialog1->ask(
      QString::fromStdString(lumigrid::default_window_capture_name(local_time_now())));
  if (path) lumigrid::save_image(lumigrid::MeasuredSurfaceRows(capture, pixels_per_inch), *path);
}

void TForm_full_screen_chart::SaveImage_to_file_4_types_Timage(const lumigrid::RowSource& page) {
  // The page needs no copy: the dialog is modal, and nothing draws on the page while it is open.
  const auto path = SavePictureDialog1->ask(QString::fromStdString(
      lumigrid::default_page_file_name(state_.drawing_area_name, local_time_now())));
  if (!path) return;
  // A large page takes a while to encode: show that the program is working.
  lumigrid::BusyProgress busy(this, "Saving the page...");
  lumigrid::save_image(page, *path, busy.callback());
}

void TForm_full_screen_chart::FormClose() {
  const lumigrid::SliderPositions positions =
      links_.slider_positions ? links_.slider_positions() : lumigrid::SliderPositions{};
  lumigrid::write_exit_settings(settings_, state_.current_pattern, positions);
}

// Each handler reads a linked window's guarded pointer once: the window may be gone.
void TForm_full_screen_chart::PopupMenu1Popup() {
  const QWidget* viewer = links_.viewer.data();
  const QWidget* adjust_window = links_.adjust_window.data();
  Action_Show_Printable_page->setChecked(viewer != nullptr && viewer->isVisible());
  Action_show_adjust_form->setChecked(adjust_window != nullptr && adjust_window->isVisible());
}

void TForm_full_screen_chart::Action_show_adjust_formExecute() {
  if (QWidget* adjust_window = links_.adjust_window.data()) {
    showOrHide(adjust_window, Action_show_adjust_form->isChecked());
  }
}

void TForm_full_screen_chart::Action_Show_Printable_pageExecute() {
  if (QWidget* viewer = links_.viewer.data()) {
    showOrHide(viewer, Action_Show_Printable_page->isChecked());
  }
}

void TForm_full_screen_chart::showOrHide(QWidget* window, bool show) {
  // A window the menu shows is the one the operator goes on with: it takes the keyboard.
  if (show) {
    lumigrid::bring_forward(window);
  } else {
    window->hide();
  }
}

void TForm_full_screen_chart::Action_AboutExecute() {
  if (links_.show_about) links_.show_about(this);
}

void TForm_full_screen_chart::syncSurfaceSize() {
  const qreal ratio = devicePixelRatioF();
  const int device_width = int(std::lround(width() * ratio));
  const int device_height = int(std::lround(height() * ratio));
  if (device_width != surface_.width() || device_height != surface_.height()) {
    surface_.resize(device_width, device_height, lumigrid::kWhite);
  }
  if (const QScreen* on = screen()) {
    surface_.setPixelsPerInch(int(std::lround(on->logicalDotsPerInch() * ratio)));
  }
}

void TForm_full_screen_chart::paintEvent(QPaintEvent* event) {
  syncSurfaceSize();
  const qreal ratio = devicePixelRatioF();
  if (!presenting_) {
    // A paint the window system asked for (show, expose, resize, state change).
    for (const QRect& rect : event->region())
      erase_to_white(surface_, lumigrid::to_device(rect, ratio));
    in_paint_ = true;
    try {
      FormPaint();
    } catch (const std::exception& error) {
      // No modal box from inside a paint: it is shown once the paint is over.
      QTimer::singleShot(0, this, [message = QString::fromUtf8(error.what())] {
        lumigrid::report_error(message);
      });
    }
    in_paint_ = false;
  }
  QImage image(surface_.data(), surface_.width(), surface_.height(), qsizetype(surface_.stride()),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  QPainter painter(this);
  for (const QRect& rect : event->region()) {
    painter.drawImage(QRectF(rect), image, QRectF(lumigrid::to_device(rect, ratio)));
  }
}

void TForm_full_screen_chart::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (event->size() != event->oldSize()) drawing_failed_ = false;
  pending_geometry_ = QRect();
  syncSurfaceSize();
  rememberNormalGeometry();
}

void TForm_full_screen_chart::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  pending_geometry_ = QRect();
  rememberNormalGeometry();
}

void TForm_full_screen_chart::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  rememberNormalGeometry();
  if (isFullScreen()) {
    CursorTimer->start();
  } else {
    CursorTimer->stop();
    set_cursor_hidden(*this, false);
  }
}

void TForm_full_screen_chart::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  const QPoint at = event->globalPosition().toPoint();
  // Some window systems report a move when only the cursor's shape changed.
  if (at == last_mouse_position_) return;
  last_mouse_position_ = at;
  if (!isFullScreen()) return;
  set_cursor_hidden(*this, false);
  CursorTimer->start();
}

void TForm_full_screen_chart::keyPressEvent(QKeyEvent* event) {
  const int key = lumigrid::windows_key_code(*event);
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  lumigrid::run_handler([&] { FormKeyDown(key, modifiers); });
  // Shift+F10 is the Menu key of keyboards without one: the menu opens as the key goes down,
  // where the Menu key opens it, in the middle of the window.
  if (key == lumigrid::kVkF10 && (modifiers & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
    PopupMenu1->exec(mapToGlobal(rect().center()));
  }
}

void TForm_full_screen_chart::keyReleaseEvent(QKeyEvent* event) {
  // The window system repeats only key-down; a held key is released once.
  if (event->isAutoRepeat()) return;
  const int key = lumigrid::windows_key_code(*event);
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  lumigrid::run_handler([&] { FormKeyUp(key, modifiers); });
}

bool TForm_full_screen_chart::focusNextPrevChild(bool) {
  return false;
}  // Tab is a key too

// The chart shows no focus: gaining or losing it paints nothing.
void TForm_full_screen_chart::focusInEvent(QFocusEvent*) {}
void TForm_full_screen_chart::focusOutEvent(QFocusEvent*) {}

void TForm_full_screen_chart::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  lumigrid::run_handler([this] { FormDblClick(); });
}

bool TForm_full_screen_chart::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PopupMenu1 && event->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(event);
    const int code = lumigrid::windows_key_code(*key);
    const bool opening_key = code == lumigrid::kVkApps || code == lumigrid::kVkF10;
    if (opening_key && !key->isAutoRepeat()) {
      const Qt::KeyboardModifiers modifiers = key->modifiers();
      lumigrid::run_handler([&] { FormKeyUp(code, modifiers); });
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TForm_full_screen_chart::contextMenuEvent(QContextMenuEvent* event) {
  PopupMenu1->exec(event->globalPos());
}

void TForm_full_screen_chart::closeEvent(QCloseEvent* event) {
  try {
    FormClose();
    event->accept();
  } catch (const std::exception& error) {
    event->ignore();  // the window stays open
    lumigrid::report_error(error);
  }
}
