#include "ui/window_set.h"

#include "ui/about_box.h"
#include "ui/adjust_window.h"
#include "ui/chart_window.h"
#include "ui/error_reporting.h"
#include "ui/monitor_size.h"
#include "ui/owned_window.h"
#include "ui/page_viewer.h"
#include "ui/update_checks.h"

namespace lumigrid {

WindowSet::WindowSet(const SettingsLocation& settings, Start start)
    : chart_(std::make_unique<TForm_full_screen_chart>(settings)) {
  adjust_ = new TForm_menu(settings, chart_.get());
  adjust_->setChart(chart_.get());
  // A creation step that fails stops there; its window stays and start-up goes on.
  if (start == Start::Program) run_handler([this] { adjust_->FormCreate(); });

  viewer_ = new TForm_Info(chart_.get());
  make_owned(adjust_, chart_.get());
  make_owned(viewer_, chart_.get());
  wire();

  if (start == Start::Program) {
    run_handler([this] { update_check_ = std::make_unique<StartUpUpdateCheck>(); });
  }
}

WindowSet::~WindowSet() {
  // A check still on the network stops first.
  update_check_.reset();
  // The adjust window goes with the chart, after it: it must not reach the chart meanwhile.
  if (adjust_ != nullptr) adjust_->setChart(nullptr);
  chart_.reset();
}

TForm_menu* WindowSet::adjust() const {
  return adjust_;
}

TForm_Info* WindowSet::viewer() const {
  return viewer_;
}

void WindowSet::wire() {
  TForm_full_screen_chart* chart = chart_.get();
  const QPointer<TForm_menu> adjust = adjust_;
  const QPointer<TForm_Info> viewer = viewer_;

  TForm_full_screen_chart::Links chart_links;
  chart_links.live_values = [adjust] {
    return adjust != nullptr ? adjust->liveValues() : LivePatternValues{};
  };
  chart_links.slider_positions = [adjust] {
    return adjust != nullptr ? adjust->sliderPositions() : SliderPositions{};
  };
  chart_links.adjust_window = adjust_.data();
  chart_links.viewer = viewer_.data();
  chart_links.show_about = [](QWidget* parent) { show_about_box(parent); };
  chart->setLinks(std::move(chart_links));

  adjust_->setPageBuilder(
      [viewer](const QString& area_text, const lumigrid::ChartParameters& parameters) {
        TForm_Info* page_viewer = viewer.data();  // read once: the viewer may be gone
        if (page_viewer == nullptr) return;
        page_viewer->showPage(area_text, parameters);
      });

  TForm_Info::Links viewer_links;
  // The page's drawing-area text names the file its save offers.
  viewer_links.page_built = [chart](const QString& area_text) {
    chart->state().drawing_area_name = area_text.toStdString();
  };
  viewer_links.save_page = [chart](const RowSource& page) {
    chart->SaveImage_to_file_4_types_Timage(page);
  };
  // The viewer's true size uses the monitor's calibration the chart's ruler stored.
  viewer_links.screen_scale = [chart](const QScreen& screen) {
    return lumigrid::monitor_scale(screen, chart->settingsLocation()).scale;
  };
  viewer_->setLinks(std::move(viewer_links));
}

}  // namespace lumigrid
