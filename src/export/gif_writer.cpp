// GIF: one image, no transparency, LZW. The picture is read twice, row by row: once to learn its
// colours, once to map and compress it.
#include <gif_lib.h>

#include <string>
#include <vector>

#include "export/export_internal.h"
#include "export/gif_palette.h"

namespace lumigrid::export_detail {

namespace {

extern "C" int gif_write_to_file(GifFileType* gif, const GifByteType* data, int size) {
  static_cast<AtomicFile*>(gif->UserData)->write(data, std::size_t(size));
  return size;  // failures are polled by the caller between rows
}

[[noreturn]] void throw_gif_error(const AtomicFile& file, int code) {
  file.check();
  const char* text = GifErrorString(code);
  throw_write_error(file.target(), std::string("GIF encoder: ") + (text ? text : "failure"));
}

struct GifSession {
  GifFileType* gif = nullptr;
  ColorMapObject* colour_map = nullptr;
  GifSession() = default;
  GifSession(const GifSession&) = delete;
  GifSession& operator=(const GifSession&) = delete;
  ~GifSession() {
    if (gif != nullptr) EGifCloseFile(gif, nullptr);
    if (colour_map != nullptr) GifFreeMapObject(colour_map);
  }
};

}  // namespace

void write_gif(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  const std::int32_t width = picture.width(), height = picture.height();
  const bool grey = picture.format() == PixelFormat::Gray8;

  const auto scratch = row_scratch(picture);
  ColourCensus census;
  for (std::int32_t y = 0; y < height; ++y) {
    if (grey) {
      census.addGreyRow(picture.row(y, scratch.get()), width);
    } else {
      census.addBgrxRow(picture.row(y, scratch.get()), width);
    }
    progress.advance();
  }
  const bool exact = census.exact();
  std::vector<PaletteColour> palette = exact ? census.exactColours() : census.medianCut(256);
  if (palette.empty()) throw_write_error(file.target(), "GIF encoder: the picture has no colours");

  // The format's colour tables hold a power of two entries, at least two; the unused ones
  // repeat the first colour, so the table holds no colour the picture lacks.
  int table_size = 2;
  while (table_size < int(palette.size())) table_size *= 2;
  std::vector<GifColorType> table(static_cast<std::size_t>(table_size));
  for (std::size_t i = 0; i < table.size(); ++i) {
    const PaletteColour& c = palette[i < palette.size() ? i : 0];
    table[i] = {c.r, c.g, c.b};
  }

  GifSession session;
  session.colour_map = GifMakeMapObject(table_size, table.data());
  int error = 0;
  session.gif = EGifOpen(&file, gif_write_to_file, &error);
  if (session.colour_map == nullptr || session.gif == nullptr) throw_gif_error(file, error);
  if (EGifPutScreenDesc(session.gif, width, height, session.colour_map->BitsPerPixel, 0,
                        session.colour_map) == GIF_ERROR ||
      EGifPutImageDesc(session.gif, 0, 0, width, height, false, nullptr) == GIF_ERROR) {
    throw_gif_error(file, session.gif->Error);
  }

  PaletteMapper mapper(std::move(palette), exact, width);
  std::vector<GifPixelType> indices(static_cast<std::size_t>(width));
  for (std::int32_t y = 0; y < height; ++y) {
    if (grey) {
      mapper.mapGreyRow(picture.row(y, scratch.get()), indices.data());
    } else {
      mapper.mapBgrxRow(picture.row(y, scratch.get()), indices.data());
    }
    if (EGifPutLine(session.gif, indices.data(), width) == GIF_ERROR) {
      throw_gif_error(file, session.gif->Error);
    }
    progress.advance();
    file.check();
  }
  GifFileType* gif = session.gif;
  session.gif = nullptr;
  if (EGifCloseFile(gif, &error) == GIF_ERROR) throw_gif_error(file, error);
  file.check();
}

}  // namespace lumigrid::export_detail
