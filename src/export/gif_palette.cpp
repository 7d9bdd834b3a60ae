#include "export/gif_palette.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace lumigrid::export_detail {

namespace {

constexpr std::size_t kMaxExact = 256;

std::uint32_t bin_of(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
}

PaletteColour colour_of_key(std::uint32_t key) {
  return {std::uint8_t(key >> 16), std::uint8_t(key >> 8), std::uint8_t(key)};
}

}  // namespace

constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;
constexpr std::size_t kSlots = 1024;  // at least twice kMaxExact + 1, a power of two

ColourCensus::ColourCensus() : bins_(std::size_t(32) * 32 * 32), seen_(kSlots, kEmptySlot) {}

void ColourCensus::noteExact(std::uint32_t rgb) {
  if (overflowed_ || rgb == last_) return;
  last_ = rgb;
  std::size_t slot = (rgb * 2654435761u) >> 22;  // top 10 bits of a multiplicative hash
  while (seen_[slot] != kEmptySlot) {
    if (seen_[slot] == rgb) return;
    slot = (slot + 1) & (kSlots - 1);
  }
  if (distinct_.size() == kMaxExact) {
    overflowed_ = true;
    distinct_.clear();
    return;
  }
  seen_[slot] = rgb;
  distinct_.push_back(rgb);
}

void ColourCensus::addBgrxRow(const std::uint8_t* pixels, std::int32_t width, std::uint64_t times) {
  // A run of equal pixels counts at once: a window's rows are mostly runs.
  for (std::int32_t x = 0; x < width;) {
    const std::uint8_t* first = pixels + std::size_t(x) * 4;
    std::int32_t end = x + 1;
    while (end < width && std::memcmp(pixels + std::size_t(end) * 4, first, 3) == 0) ++end;
    const std::uint64_t count = std::uint64_t(end - x) * times;
    x = end;
    const std::uint32_t b = first[0], g = first[1], r = first[2];
    Bin& bin = bins_[bin_of(r, g, b)];
    bin.count += count;
    bin.r += r * count;
    bin.g += g * count;
    bin.b += b * count;
    noteExact((r << 16) | (g << 8) | b);
  }
}

void ColourCensus::addGreyRow(const std::uint8_t* pixels, std::int32_t width) {
  // Pages are mostly runs of one level: eight pixels equal to the last one seen need no mark.
  if (width <= 0) return;
  grey_present_[pixels[0]] = true;
  std::uint64_t last_run = std::uint64_t(pixels[0]) * 0x0101010101010101ull;
  std::int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, pixels + x, 8);
    if (eight == last_run) continue;
    for (int k = 0; k < 8; ++k) grey_present_[pixels[x + k]] = true;
    last_run = std::uint64_t(pixels[x + 7]) * 0x0101010101010101ull;
  }
  for (; x < width; ++x) grey_present_[pixels[x]] = true;
}

std::vector<PaletteColour> ColourCensus::exactColours() const {
  std::vector<std::uint32_t> keys = distinct_;
  for (std::uint32_t level = 0; level < 256; ++level) {
    if (grey_present_[level]) keys.push_back(level * 0x010101u);
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<PaletteColour> colours;
  colours.reserve(keys.size());
  for (std::uint32_t key : keys) colours.push_back(colour_of_key(key));
  return colours;
}

std::vector<PaletteColour> ColourCensus::medianCut(std::size_t limit) const {
  struct Box {
    std::vector<std::uint16_t> bins;
    std::uint64_t count = 0;
    double spread = 0;  // sum of count x squared distance of bin means from the box mean
    int axis = 0;       // channel with the widest spread
  };
  auto bin_mean = [this](std::uint16_t i, int axis) {
    const Bin& bin = bins_[i];
    const std::uint64_t sum = axis == 0 ? bin.r : axis == 1 ? bin.g : bin.b;
    return double(sum) / double(bin.count);
  };
  auto measure = [&](Box& box) {
    box.count = 0;
    double sum[3] = {0, 0, 0}, square[3] = {0, 0, 0};
    for (std::uint16_t i : box.bins) {
      const double n = double(bins_[i].count);
      box.count += bins_[i].count;
      for (int a = 0; a < 3; ++a) {
        const double m = bin_mean(i, a);
        sum[a] += n * m;
        square[a] += n * m * m;
      }
    }
    box.spread = 0;
    double widest = -1;
    for (int a = 0; a < 3; ++a) {
      const double variance = square[a] - sum[a] * sum[a] / double(box.count);
      box.spread += variance;
      if (variance > widest) {
        widest = variance;
        box.axis = a;
      }
    }
  };

  std::vector<Box> boxes(1);
  for (std::size_t i = 0; i < bins_.size(); ++i) {
    if (bins_[i].count != 0) boxes[0].bins.push_back(std::uint16_t(i));
  }
  if (boxes[0].bins.empty() || limit == 0) return {};
  measure(boxes[0]);

  while (boxes.size() < limit) {
    // Split the box whose pixels lie furthest from its mean.
    auto worst = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
      return (a.bins.size() > 1 ? a.spread : -1.0) < (b.bins.size() > 1 ? b.spread : -1.0);
    });
    if (worst->bins.size() < 2) break;
    Box& box = *worst;
    const int axis = box.axis;
    std::sort(box.bins.begin(), box.bins.end(), [&](std::uint16_t a, std::uint16_t b) {
      return bin_mean(a, axis) < bin_mean(b, axis);
    });
    // Cut at the pixel-weighted median, keeping at least one bin on each side.
    std::uint64_t below = 0;
    std::size_t cut = 1;
    for (; cut < box.bins.size() - 1; ++cut) {
      below += bins_[box.bins[cut - 1]].count;
      if (2 * below >= box.count) break;
    }
    Box upper;
    upper.bins.assign(box.bins.begin() + std::ptrdiff_t(cut), box.bins.end());
    box.bins.resize(cut);
    measure(box);
    measure(upper);
    boxes.push_back(std::move(upper));
  }

  std::vector<PaletteColour> palette;
  for (const Box& box : boxes) {
    std::uint64_t r = 0, g = 0, b = 0;
    for (std::uint16_t i : box.bins) {
      r += bins_[i].r;
      g += bins_[i].g;
      b += bins_[i].b;
    }
    const std::uint64_t half = box.count / 2;
    palette.push_back({std::uint8_t((r + half) / box.count), std::uint8_t((g + half) / box.count),
                       std::uint8_t((b + half) / box.count)});
  }
  return palette;
}

PaletteMapper::PaletteMapper(std::vector<PaletteColour> palette, bool exact, std::int32_t width)
    : palette_(std::move(palette)), exact_(exact), width_(width) {
  if (exact_) {
    for (const PaletteColour& c : palette_) {
      sorted_keys_.push_back(std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b);
    }
    // Palette order is the key order (exactColours sorts), so an index is a key's rank.
    std::sort(sorted_keys_.begin(), sorted_keys_.end());
    for (std::size_t i = 0; i < palette_.size(); ++i) {
      const PaletteColour& c = palette_[i];
      if (c.r == c.g && c.g == c.b) grey_index_[c.r] = std::uint8_t(i);
    }
  } else {
    inverse_.assign(std::size_t(1) << 18, -1);
    error_this_.assign((std::size_t(width_) + 2) * 3, 0);
    error_next_.assign((std::size_t(width_) + 2) * 3, 0);
  }
}

std::uint8_t PaletteMapper::exactIndex(std::uint32_t rgb) const {
  const auto at = std::lower_bound(sorted_keys_.begin(), sorted_keys_.end(), rgb);
  return std::uint8_t(at - sorted_keys_.begin());
}

std::uint8_t PaletteMapper::nearest(int r, int g, int b) {
  const std::size_t cell = std::size_t((r >> 2) << 12 | (g >> 2) << 6 | (b >> 2));
  std::int16_t& found = inverse_[cell];
  if (found < 0) {
    // The nearest entry to the middle of the cell.
    const int cr = (r & ~3) | 2, cg = (g & ~3) | 2, cb = (b & ~3) | 2;
    int best = 0, best_distance = 1 << 30;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
      const int dr = cr - palette_[i].r, dg = cg - palette_[i].g, db = cb - palette_[i].b;
      const int distance = dr * dr + dg * dg + db * db;
      if (distance < best_distance) {
        best_distance = distance;
        best = int(i);
      }
    }
    found = std::int16_t(best);
  }
  return std::uint8_t(found);
}

void PaletteMapper::mapBgrxRow(const std::uint8_t* pixels, std::uint8_t* indices) {
  if (exact_) {
    std::uint32_t last_key = 0xFFFFFFFFu;
    std::uint8_t last_index = 0;
    for (std::int32_t x = 0; x < width_; ++x, pixels += 4) {
      const std::uint32_t key =
          std::uint32_t(pixels[2]) << 16 | std::uint32_t(pixels[1]) << 8 | pixels[0];
      if (key != last_key) {
        last_key = key;
        last_index = exactIndex(key);
      }
      indices[x] = last_index;
    }
    return;
  }
  std::fill(error_next_.begin(), error_next_.end(), 0);
  // Error slots are offset by one pixel so the left and right neighbours always exist.
  for (std::int32_t x = 0; x < width_; ++x, pixels += 4) {
    const std::size_t at = (std::size_t(x) + 1) * 3;
    int value[3];
    const std::uint8_t source[3] = {pixels[2], pixels[1], pixels[0]};
    for (std::size_t c = 0; c < 3; ++c) {
      // Round the carried sixteenths half away from zero.
      const int carried = error_this_[at + c];
      const int adjust = carried >= 0 ? (carried + 8) / 16 : -((-carried + 8) / 16);
      value[c] = std::clamp(int(source[c]) + adjust, 0, 255);
    }
    const std::uint8_t index = nearest(value[0], value[1], value[2]);
    indices[x] = index;
    const int chosen[3] = {palette_[index].r, palette_[index].g, palette_[index].b};
    for (std::size_t c = 0; c < 3; ++c) {
      const int e = value[c] - chosen[c];
      error_this_[at + 3 + c] += e * 7;
      error_next_[at - 3 + c] += e * 3;
      error_next_[at + c] += e * 5;
      error_next_[at + 3 + c] += e;
    }
  }
  std::swap(error_this_, error_next_);
}

void PaletteMapper::mapGreyRow(const std::uint8_t* pixels, std::uint8_t* indices) {
  // Grey pictures have at most 256 levels, so their palette is always exact. Runs of eight
  // equal pixels map in one step.
  std::int32_t x = 0;
  for (; x + 8 <= width_; x += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, pixels + x, 8);
    if (eight == std::uint64_t(pixels[x]) * 0x0101010101010101ull) {
      std::memset(indices + x, grey_index_[pixels[x]], 8);
      continue;
    }
    for (int k = 0; k < 8; ++k) indices[x + k] = grey_index_[pixels[x + k]];
  }
  for (; x < width_; ++x) indices[x] = grey_index_[pixels[x]];
}

}  // namespace lumigrid::export_detail
