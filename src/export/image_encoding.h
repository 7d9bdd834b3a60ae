#pragma once
// What the saving functions and the encoders both name: the file types and the sheet a PDF of
// part of a picture is printed on. Kept apart so the encoders need not see the saving
// functions that call them.
#include <cstdint>

namespace lumigrid {

enum class ImageEncoding { Bmp, Png, Jpeg, Gif, Tiff, Pdf };

// A sheet of paper carrying a part of a picture at its true size (paper_pixels_per_inch): the
// PDF page is the sheet; the picture's columns source_x to source_x + source_width and rows
// source_y to source_y + source_height lie on it with their top-left corner `left` and `top`
// picture pixels from the sheet's top-left corner. A sheet turned a quarter is laid out as
// above and then turned counterclockwise onto the paper: the PDF page is height_points wide and
// width_points tall, the picture's top towards its left edge, so that nothing downstream needs
// to turn it (a print queue's filters may turn a landscape page either way).
struct PdfSheet {
  double width_points = 0;
  double height_points = 0;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t source_x = 0;
  std::int32_t source_y = 0;
  std::int32_t source_width = 0;
  std::int32_t source_height = 0;
  bool quarter_turn = false;
};

}  // namespace lumigrid
