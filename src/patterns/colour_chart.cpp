// Patterns 1 and 6: colour patches on black, laid out and coloured by a section of the
// settings file, stepping through the matching sections from one drawing to the next.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/errors.h"
#include "base/integer_division.h"
#include "patterns/chart_painter.h"
#include "patterns/drawing_arithmetic.h"
#include "settings/settings.h"

namespace lumigrid {

using drawing::coord;
using drawing::quad;
using drawing::round_int;
using drawing::trunc_int;

namespace {

// Inclusive index ranges, sorted and disjoint; first > last is empty.
struct Span {
  std::int64_t first = 1;
  std::int64_t last = 0;
  bool empty() const { return first > last; }
};
using IndexSet = std::vector<Span>;

// The k in [0, count) with low <= k * step <= high; step is not 0.
Span indices_with_product_in(std::int64_t step, std::int64_t low, std::int64_t high,
                             std::int64_t count) {
  const std::int64_t k0 = step > 0 ? ceil_div(low, step) : ceil_div(high, step);
  const std::int64_t k1 = step > 0 ? floor_div(high, step) : floor_div(low, step);
  return {std::max<std::int64_t>(k0, 0), std::min(k1, count - 1)};
}

void add(IndexSet& set, Span span) {
  if (span.empty()) return;
  IndexSet merged;
  for (const Span& s : set) {
    if (s.last + 1 < span.first || span.last + 1 < s.first) {
      merged.push_back(s);
    } else {
      span = {std::min(s.first, span.first), std::max(s.last, span.last)};
    }
  }
  merged.push_back(span);
  std::sort(merged.begin(), merged.end(), [](Span a, Span b) { return a.first < b.first; });
  set = std::move(merged);
}

void remove(IndexSet& set, Span span) {
  if (span.empty()) return;
  IndexSet kept;
  for (const Span& s : set) {
    const Span before{s.first, std::min(s.last, span.first - 1)};
    const Span after{std::max(s.first, span.last + 1), s.last};
    if (!before.empty()) kept.push_back(before);
    if (!after.empty()) kept.push_back(after);
  }
  set = std::move(kept);
}

// One direction of the patch grid: patch k's block spans k * step + [block_lo, block_hi] and its
// label k * step + label_lo onwards for label_extent pixels.
struct Axis {
  std::int64_t count;
  std::int64_t step;
  std::int64_t block_lo, block_hi;
  bool labels;
  std::int64_t label_lo, label_extent;
  std::int64_t surface_extent;
};

// The patches along one axis whose pixels can still show once the whole chart is drawn, in
// drawing order. Patches wholly off the surface are left out, and so is a block that spans the
// surface when a later block spans it too and its label is off the surface. With a step of 0
// every patch lies on the same spot and the last one is what shows. This keeps absurd section
// values (millions of columns, huge borders) from tying the window up.
IndexSet patches_that_show(const Axis& a) {
  if (a.count <= 0) return {};
  const std::int64_t end = a.surface_extent - 1;
  if (a.step == 0) {
    const bool block = a.block_lo <= end && a.block_hi >= 0;
    const bool label = a.labels && a.label_lo <= end && a.label_lo + a.label_extent - 1 >= 0;
    return (block || label) ? IndexSet{{a.count - 1, a.count - 1}} : IndexSet{};
  }
  IndexSet set;
  add(set, indices_with_product_in(a.step, -a.block_hi, end - a.block_lo, a.count));
  Span label;
  if (a.labels) {
    label = indices_with_product_in(a.step, -(a.label_lo + a.label_extent - 1), end - a.label_lo,
                                    a.count);
    add(set, label);
  }
  const Span spanning = indices_with_product_in(a.step, end - a.block_hi, -a.block_lo, a.count);
  if (!spanning.empty()) {
    const Span covered{spanning.first, spanning.last - 1};
    if (label.empty()) {
      remove(set, covered);
    } else {
      remove(set, {covered.first, std::min(covered.last, label.first - 1)});
      remove(set, {std::max(covered.first, label.last + 1), covered.last});
    }
  }
  return set;
}

}  // namespace

std::string ChartPainter::chooseChartSection(const std::vector<std::string>& names,
                                             const std::string& keyword) {
  const auto log = [this](const std::string& line) {
    if (hooks_.log) hooks_.log(line);
  };
  const std::int64_t count = std::int64_t(names.size());
  // The keyword is matched with regard to case, anywhere in the name, from latest_cnt on and
  // then once more from the top.
  std::int64_t found = -1;
  for (std::int64_t i = std::max<std::int64_t>(state_.latest_cnt, 0); i < count && found < 0; ++i)
    if (names[std::size_t(i)].find(keyword) != std::string::npos) found = i;
  for (std::int64_t i = 0; i < count && found < 0; ++i)
    if (names[std::size_t(i)].find(keyword) != std::string::npos) found = i;
  if (found < 0) return keyword;

  log(names[std::size_t(found)]);
  state_.latest_cnt = std::int32_t(found + 1);
  log("latest cnt=" + std::to_string(state_.latest_cnt));
  if (state_.latest_cnt >= count) {
    state_.latest_cnt = 0;
    log("latest cnt=0");
  }
  return names[std::size_t(found)];
}

ColourChartGeometry ChartPainter::layOutColourChart(const ColourChartLayout& layout) {
  ColourChartGeometry g;
  g.columns = layout.columns;
  g.rows = layout.rows;
  g.labels = layout.text;
  const std::int64_t w0 = trunc_int(checked_divide(canvas_.width(), double(g.columns)));
  // Kept within 2^30 so that every product below stays inside 64 bits.
  g.border = std::clamp<std::int64_t>(trunc_int(double(w0) * layout.border),
                                      -(std::int64_t(1) << 30), std::int64_t(1) << 30);
  g.font_points = round_int(layout.text_size * double(w0));
  // The canvas takes the labels' size before the rows are divided out: a chart of no rows fails
  // there with the size already set, and later drawings keep it.
  canvas_.setFontSize(std::int32_t(g.font_points));
  const std::int64_t width = canvas_.width();
  const std::int64_t height = canvas_.height();
  g.cell_width = trunc_int(checked_divide(double(width - g.border), double(g.columns)));
  g.cell_height = trunc_int(checked_divide(double(height - g.border), double(g.rows)));
  return g;
}

void ChartPainter::paintColourChart(const ColourChartSettings& ini, const std::string& section,
                                    const ColourChartGeometry& g) {
  const std::int64_t X = g.columns;
  const std::int64_t Y = g.rows;
  const std::int64_t b = g.border;
  const std::int64_t cw = g.cell_width;
  const std::int64_t ch = g.cell_height;
  const bool labels = g.labels;

  // A generous bound on a label's cell: twelve characters of at most two ems each. A negative
  // size draws glyphs as tall as its magnitude.
  const std::int64_t em = std::clamp<std::int64_t>(
      std::abs(g.font_points) * canvas_.pixelsPerInch() / 72 + 64, 64, 1 << 24);
  const IndexSet rows = patches_that_show(
      {Y, ch, std::min(b, ch), std::max(b, ch), labels, ch + 1, 2 * em, canvas_.height()});
  const IndexSet cols = patches_that_show(
      {X, cw, std::min(b, cw), std::max(b, cw), labels, b, 24 * em, canvas_.width()});

  std::int64_t last_drawn = 0;
  for (const Span& row_span : rows) {
    for (std::int64_t j = row_span.first; j <= row_span.last; ++j) {
      for (const Span& col_span : cols) {
        for (std::int64_t i = col_span.first; i <= col_span.last; ++i) {
          const std::int64_t n = j * X + i + 1;
          const Colour colour = ini.patchColour(section, n);
          canvas_.setBrushColour(colour);
          canvas_.setPenColour(colour);
          canvas_.setPenWidth(0);
          const std::int64_t x0 = i * cw;
          const std::int64_t y0 = j * ch;
          quad(canvas_, x0 + b, y0 + b, x0 + cw, y0 + b, x0 + cw, y0 + ch, x0 + b, y0 + ch);
          if (labels) {
            canvas_.setFontColour(kWhite);
            canvas_.setBrushColour(kBlack);
            char text[64];
            std::snprintf(text, sizeof text, "%3d %3d %3d ", int(colour & 0xFF),
                          int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
            canvas_.TextOut(coord(x0 + b), coord(y0 + ch + 1), text);
          }
          last_drawn = n;
        }
      }
    }
  }

  // Leave the tools as the chart's last patch would have, drawn or not.
  if (X >= 1 && Y >= 1 && last_drawn != X * Y) {
    const Colour colour = ini.patchColour(section, X * Y);
    canvas_.setPenColour(colour);
    canvas_.setPenWidth(0);
    canvas_.setBrushColour(labels ? kBlack : colour);
    if (labels) canvas_.setFontColour(kWhite);
  }
}

void ChartPainter::draw_color_chart(const std::string& ini_path, const std::string& keyword) {
  canvas_.setBrushColour(kBlack);
  canvas_.FillRect(0, 0, canvas_.width(), canvas_.height());

  const SettingsLocation location =
      ini_path.empty() ? settings_ : SettingsLocation(std::filesystem::path(ini_path));
  ColourChartSettings ini(location, decimal_separator_);
  const std::string section = chooseChartSection(ini.sectionNames(), keyword);
  // A first chart on a system without a settings file leaves one behind with the chart's
  // default keys, for the operator to edit. A location that is only read draws the same
  // defaults without the file: they are the values a missing key reads as.
  if (!ini.fileExists() && !location.read_only) ini.writeDefaults(section);
  paintColourChart(ini, section, layOutColourChart(ini.layout(section)));
}

}  // namespace lumigrid
