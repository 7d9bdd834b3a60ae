#include "surface/raster/glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "base/utf.h"

namespace lumigrid::raster {

namespace {

// Rendered sizes kept at once; the drawers use one or two.
constexpr std::size_t kMaxCachedSizes = 8;

// One horizontal run of glyph pixels, relative to the cell top and the pen position.
struct GlyphRun {
  std::int32_t row;
  std::int32_t first;
  std::int32_t last;
};

struct Glyph {
  std::int64_t advance = 0;
  std::vector<GlyphRun> runs;
};

struct SizedFace {
  std::int32_t pixel_height = 0;
  std::int32_t ascent = 0;
  std::int32_t line_height = 0;
  std::uint64_t last_use = 0;
  std::unordered_map<char32_t, Glyph> glyphs;
};

std::string find_default_font_file() {
  std::string path;
  if (FcInit()) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans"));
    if (pattern != nullptr) {
      FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
      FcDefaultSubstitute(pattern);
      FcResult result = FcResultNoMatch;
      FcPattern* match = FcFontMatch(nullptr, pattern, &result);
      if (match != nullptr) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
          path = reinterpret_cast<const char*>(file);
        }
        FcPatternDestroy(match);
      }
      FcPatternDestroy(pattern);
    }
  }
  if (path.empty()) {
    const char* known = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    std::error_code ec;
    if (std::filesystem::exists(known, ec)) path = known;
  }
  return path;
}

// Runs of set pixels of a rendered glyph bitmap (1 bit per pixel, or grey thresholded at half).
void collect_runs(const FT_Bitmap& bitmap, std::int32_t row_offset, std::int32_t column_offset,
                  std::vector<GlyphRun>& runs) {
  const std::int64_t pitch = bitmap.pitch;
  const std::int64_t row_bytes = pitch < 0 ? -pitch : pitch;
  for (unsigned r = 0; r < bitmap.rows; ++r) {
    const unsigned char* row =
        bitmap.buffer +
        (pitch >= 0 ? std::int64_t(r) * row_bytes : std::int64_t(bitmap.rows - 1 - r) * row_bytes);
    auto set = [&](unsigned c) {
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) return ((row[c >> 3] >> (7 - (c & 7))) & 1) != 0;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) return row[c] >= 128;
      return false;
    };
    unsigned c = 0;
    while (c < bitmap.width) {
      if (!set(c)) {
        ++c;
        continue;
      }
      const unsigned start = c;
      while (c < bitmap.width && set(c)) ++c;
      runs.push_back({row_offset + std::int32_t(r), column_offset + std::int32_t(start),
                      column_offset + std::int32_t(c) - 1});
    }
  }
}

}  // namespace

struct GlyphCache::State {
  std::mutex mutex;
  std::string font_file;
  bool loaded = false;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::int32_t active_height = 0;
  std::uint64_t clock = 0;
  std::vector<std::unique_ptr<SizedFace>> sizes;

  bool load() {
    if (loaded) return face != nullptr;
    loaded = true;
    if (font_file.empty() || FT_Init_FreeType(&library) != 0) return false;
    if (FT_New_Face(library, font_file.c_str(), 0, &face) != 0) face = nullptr;
    return face != nullptr;
  }

  bool activate(std::int32_t pixel_height) {
    if (active_height == pixel_height) return true;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixel_height)) != 0) return false;
    active_height = pixel_height;
    return true;
  }

  SizedFace* sized(std::int32_t pixel_height) {
    if (!load()) return nullptr;
    ++clock;
    for (auto& s : sizes) {
      if (s->pixel_height == pixel_height) {
        s->last_use = clock;
        return s.get();
      }
    }
    if (!activate(pixel_height)) return nullptr;
    auto entry = std::make_unique<SizedFace>();
    entry->pixel_height = pixel_height;
    entry->last_use = clock;
    const FT_Size_Metrics& m = face->size->metrics;
    entry->ascent = std::int32_t((m.ascender + 63) >> 6);
    entry->line_height = entry->ascent + std::int32_t((-m.descender + 63) >> 6);
    if (sizes.size() >= kMaxCachedSizes) {
      auto oldest = std::min_element(sizes.begin(), sizes.end(), [](const auto& p, const auto& q) {
        return p->last_use < q->last_use;
      });
      sizes.erase(oldest);
    }
    sizes.push_back(std::move(entry));
    return sizes.back().get();
  }

  const Glyph& glyph(SizedFace& size, char32_t code_point) {
    auto found = size.glyphs.find(code_point);
    if (found != size.glyphs.end()) return found->second;
    Glyph g;
    if (activate(size.pixel_height) &&
        FT_Load_Char(face, FT_ULong(code_point), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
      const FT_GlyphSlot slot = face->glyph;
      g.advance = (slot->advance.x + 32) >> 6;  // FT_Pos is a 64-bit long here
      collect_runs(slot->bitmap, size.ascent - slot->bitmap_top, slot->bitmap_left, g.runs);
    } else {
      g.advance = std::max(1, size.pixel_height / 2);
    }
    return size.glyphs.emplace(code_point, std::move(g)).first->second;
  }

  ~State() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

std::int32_t text_pixel_height(std::int32_t points, std::int32_t pixels_per_inch) {
  const double magnitude = std::fabs(double(points == 0 ? kDefaultFontPoints : points));
  const double pixels = std::nearbyint(magnitude * double(pixels_per_inch) / 72.0);
  if (!(pixels >= 1)) return 1;
  if (pixels > kMaxTextPixelHeight) return kMaxTextPixelHeight;
  return std::int32_t(pixels);
}

GlyphCache::GlyphCache(std::string font_file) : state_(std::make_unique<State>()) {
  state_->font_file = std::move(font_file);
}

GlyphCache::~GlyphCache() = default;

GlyphCache& GlyphCache::shared() {
  static GlyphCache cache(find_default_font_file());
  return cache;
}

bool GlyphCache::hasFont() {
  std::lock_guard lock(state_->mutex);
  return state_->load();
}

TextExtent GlyphCache::measure(std::string_view text, std::int32_t pixel_height) {
  const std::vector<char32_t> code_points = decode_utf8(text);
  std::lock_guard lock(state_->mutex);
  SizedFace* size = state_->sized(pixel_height);
  if (size == nullptr) {
    return {std::int64_t(code_points.size()) * std::max(1, pixel_height / 2), pixel_height};
  }
  std::int64_t width = 0;
  for (char32_t cp : code_points) width += state_->glyph(*size, cp).advance;
  return {width, size->line_height};
}

void GlyphCache::draw(const RasterTarget& target, std::int32_t x, std::int32_t y,
                      std::string_view text, std::int32_t pixel_height, TextColours colours) {
  const TextExtent cell = measure(text, pixel_height);
  fill_rect_clipped(target, x, y, std::int64_t(x) + cell.width, std::int64_t(y) + cell.height,
                    colours.cell);
  // Nothing of the glyphs can show when the cell's rows are all off the surface.
  if (std::int64_t(y) + cell.height <= 0 || y >= target.height || x >= target.width) return;
  const std::vector<char32_t> code_points = decode_utf8(text);
  std::lock_guard lock(state_->mutex);
  SizedFace* size = state_->sized(pixel_height);
  if (size == nullptr) return;
  std::int64_t pen = x;
  for (char32_t cp : code_points) {
    if (pen >= target.width) break;
    const Glyph& g = state_->glyph(*size, cp);
    for (const GlyphRun& run : g.runs) {
      fill_span_clipped(target, std::int64_t(y) + run.row, pen + run.first, pen + run.last,
                        colours.glyph);
    }
    pen += g.advance;
  }
}

}  // namespace lumigrid::raster
