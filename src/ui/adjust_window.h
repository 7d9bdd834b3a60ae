#pragma once
// The adjust window: spin boxes and scroll bars for H, V, HP, VP, Space, Pitch and Pitch2, kept
// in step by their handlers, a debounced redraw of the chart, the drawing-area list, and the
// chart window's pattern keys.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "page/printable_chart.h"
#include "settings/settings.h"
#include "ui/adjust_layout.h"
#include "ui/chart_control.h"
#include "ui/spin_controls.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

class TForm_menu : public QWidget {
  Q_OBJECT

 public:
  // `settings`: the settings file FormCreate reads, with its read-only fallback. `owner`: the
  // chart window.
  explicit TForm_menu(lumigrid::SettingsLocation settings, QWidget* owner = nullptr);
  ~TForm_menu() override;

  // The chart this window adjusts; none: the values and keys reach no chart.
  void setChart(lumigrid::ChartControl* chart);
  // Builds and shows the page for a drawing-area text with Space, Pitch and Pitch2; none: the
  // list builds nothing.
  using PageBuilder =
      std::function<void(const QString& area_text, const lumigrid::ChartParameters& parameters)>;
  void setPageBuilder(PageBuilder builder);

  // Space, Pitch and Pitch2 as the spin boxes hold them now.
  lumigrid::LivePatternValues liveValues() const;
  // The scroll bars' positions, as the settings file stores them.
  lumigrid::SliderPositions sliderPositions() const;

  // The creation step: loads the stored pattern and positions, then copies spin boxes to bars.
  void FormCreate();
  void FormKeyUp(int key, Qt::KeyboardModifiers shift);

  void ScrollBar_HChange();
  void ScrollBar_VChange();
  void ScrollBar_HPChange();
  void ScrollBar_VPChange();
  void ScrollBar_SpaceScroll();
  void ScrollBar_PitchScroll();
  void ScrollBar_Pitch2Scroll();
  void UpDown_HChanging();
  void UpDown_VChanging();
  void UpDown_HPChanging();
  void UpDown_VPChanging();
  void UpDown_spaceChanging();
  void UpDown_PitchChanging();
  void UpDown_Pitch2Changing();
  // The seven edit boxes' change handler: arms the debounce timer unless it is already armed.
  void Edit_Change();
  void Timer1Timer();
  void ComboBox1Change();

  // Copies H, HP, V and VP into the chart state and redraws the chart.
  void updatePattern();

 protected:
  // Key preview: every key released in this window reaches FormKeyUp before its control.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The window's parts, each named after its member so that a test finds it with findChild.
  QLineEdit* Edit_H = nullptr;
  QLineEdit* Edit_V = nullptr;
  QLineEdit* Edit_HP = nullptr;
  QLineEdit* Edit_VP = nullptr;
  QLineEdit* Edit_space = nullptr;
  QLineEdit* Edit_pitch = nullptr;
  QLineEdit* Edit_pitch2 = nullptr;
  UpDownControl* UpDown_H = nullptr;
  UpDownControl* UpDown_V = nullptr;
  UpDownControl* UpDown_HP = nullptr;
  UpDownControl* UpDown_VP = nullptr;
  UpDownControl* UpDown_space = nullptr;
  UpDownControl* UpDown_Pitch = nullptr;
  UpDownControl* UpDown_Pitch2 = nullptr;
  ScrollBarControl* ScrollBar_H = nullptr;
  ScrollBarControl* ScrollBar_V = nullptr;
  ScrollBarControl* ScrollBar_HP = nullptr;
  ScrollBarControl* ScrollBar_VP = nullptr;
  ScrollBarControl* ScrollBar_Space = nullptr;
  ScrollBarControl* ScrollBar_Pitch = nullptr;
  ScrollBarControl* ScrollBar_Pitch2 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QTimer* Timer1 = nullptr;  // the one-shot debounce timer
  std::array<QLabel*, lumigrid::kAdjustLabels.size()> labels_{};

  struct Placed {
    QWidget* widget;
    lumigrid::Box box;
    std::uint8_t anchors;
  };
  void place(QWidget* widget, const lumigrid::Box& box, std::uint8_t anchors);
  void applyLayout();
  void setTabOrderByLayout();

  lumigrid::SettingsLocation settings_;
  lumigrid::ChartControl* chart_ = nullptr;
  PageBuilder page_builder_;
  std::vector<Placed> placed_;
  // The key release last previewed, to see it only once while it travels up to the window.
  const QEvent* previewed_event_ = nullptr;
  QPointer<QWidget> previewed_receiver_;
};
