#pragma once
// The chart window: the main window. It owns the chart surface, shows it one surface pixel per
// device pixel, and runs the pattern keys, full screen, the repaint timer, the context menu,
// double-click saving and the settings write at close.
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "patterns/chart_painter.h"
#include "patterns/chart_state.h"
#include "patterns/hidden_log.h"
#include "settings/settings.h"
#include "surface/row_source.h"
#include "surface/surface.h"
#include "ui/chart_control.h"
#include "ui/monitor_size.h"

class QAction;
class QMenu;
class QTimer;

namespace lumigrid {
class PictureSaveDialog;
}

inline constexpr const char* kChartCaption = "Duzov Urorezo ( F11 full Screen)";

class TForm_full_screen_chart : public QWidget, public lumigrid::ChartControl {
  Q_OBJECT

 public:
  // What the chart window asks of the other windows; the window set fills it in. Without a link
  // the chart window goes on alone: design values, default positions, nothing to show or hide.
  struct Links {
    // The adjust window's Space, Pitch and Pitch2 at the moment of a drawing.
    std::function<lumigrid::LivePatternValues()> live_values;
    // The adjust window's scroll bars, stored at close.
    std::function<lumigrid::SliderPositions()> slider_positions;
    // The windows the context menu shows and hides.
    QPointer<QWidget> adjust_window;
    QPointer<QWidget> viewer;
    // Shows the About window modally.
    std::function<void(QWidget* parent)> show_about;
  };

  // `settings`: the settings file written at close and read by the colour charts, with its
  // read-only fallback.
  explicit TForm_full_screen_chart(lumigrid::SettingsLocation settings, QWidget* parent = nullptr);
  ~TForm_full_screen_chart() override;

  void setLinks(Links links);

  lumigrid::ChartState& state() override { return state_; }
  const lumigrid::Surface& surface() const { return surface_; }
  const std::filesystem::path& settingsPath() const { return settings_.file; }
  const lumigrid::SettingsLocation& settingsLocation() const { return settings_; }

  // Draws a pattern onto the surface and shows the result.
  void image_Pattern(std::int32_t pattern_Num) override;
  // Enters (true) or leaves (false) full screen.
  void fullScreen(bool full_screen) override;
  // Shows a test screen, or its next variant when it is already shown, and shows the result.
  void showDisplayTest(lumigrid::DisplayTest test);
  // Shows the ruler screen at the size of a device pixel of the window's monitor (its
  // calibration, its EDID, the window system's size or 96 dpi), or leaves it for the current
  // pattern when it is shown. While it is shown the arrow keys change that size, Return stores
  // it as the monitor's calibration and Delete forgets the calibration.
  void showRulerScreen();
  void leaveRulerScreen();
  // The monitor's pixel size the window uses (the ruler, window captures), and where it comes from.
  lumigrid::MonitorScale monitorScale() const;
  // Saves what the window shows, through the save dialog.
  void SaveImage_to_file_4_types(QObject* object0);
  // Saves a page bitmap, through the same dialog, named after the last page's drawing area.
  void SaveImage_to_file_4_types_Timage(const lumigrid::RowSource& page);

  // Event handlers; `key` is a Windows virtual-key code.
  void FormKeyDown(int key, Qt::KeyboardModifiers shift);
  void FormKeyUp(int key, Qt::KeyboardModifiers shift);
  void FormPaint();
  void Timer1Timer();
  void FormDblClick();
  // Writes the settings file; throws when it cannot, and the close is then abandoned.
  void FormClose();
  void PopupMenu1Popup();
  void Action_show_adjust_formExecute();
  void Action_Show_Printable_pageExecute();
  void Action_AboutExecute();

  // Bounds and state saved on entering full screen.
  struct SavedBounds {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Qt::WindowState window_state = Qt::WindowNoState;
  };
  const SavedBounds& savedBounds() const { return saved_; }

  // The trace the colour charts write as they draw.
  const lumigrid::HiddenLog& hiddenLog() const { return ListBox1; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  // The release of the Menu key (or of Shift+F10's F10), which the menu it opened receives,
  // still reaches FormKeyUp.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Shows the surface as a drawer left it, without counting as a paint of the window system.
  void present();
  void syncSurfaceSize();
  bool showsMaximized() const;
  void rememberNormalGeometry();
  // Shows a window the menu names, active with the keyboard on its first control, or hides it.
  void showOrHide(QWidget* window, bool show);

  // The window's parts, each named after its member so that a test finds it with findChild.
  QTimer* Timer1 = nullptr;       // the one-shot repaint timer
  QTimer* CursorTimer = nullptr;  // hides the resting cursor in full screen
  lumigrid::HiddenLog ListBox1;
  lumigrid::PictureSaveDialog* SavePictureDialog1 = nullptr;  // shared with the viewer
  QMenu* PopupMenu1 = nullptr;
  QAction* Action_show_adjust_form = nullptr;
  QAction* Action_Show_Printable_page = nullptr;
  QAction* Action_About = nullptr;
  QMenu* DisplayTestsMenu = nullptr;  // "Display tests": each test screen with its letter key

  lumigrid::SettingsLocation settings_;
  Links links_;
  lumigrid::ChartState state_;
  lumigrid::Surface surface_;
  std::unique_ptr<lumigrid::ChartPainter> painter_;

  SavedBounds saved_;
  // Where the window goes back to when it leaves full screen: its last geometry in the normal
  // state. Invalid until the window first enters full screen.
  QRect restore_geometry_;
  QRect normal_geometry_;  // as the window manager last framed the window
  QPoint last_mouse_position_;
  bool drawing_failed_ = false;  // the last drawing raised an error
  QRect pending_geometry_;       // asked of the window manager by the arrow keys, not yet applied
  std::uint8_t last_key_ = 0;
  // The ruler's pixel size was changed with the arrow keys and is not stored yet: a redraw
  // keeps it instead of asking the monitor again.
  bool ruler_adjusted_ = false;
  bool presenting_ = false;
  bool in_paint_ = false;
};
