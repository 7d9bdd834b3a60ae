#pragma once
// The JPEG, GIF and BMP writers as they were before bands and gathered writes, kept only as the
// reference the band encoders' benchmark measures against: one library call over the whole
// picture on one core, row by row.
#include "export/export_internal.h"

namespace lumigrid::bench::today {

void write_jpeg(const RowSource& picture, export_detail::AtomicFile& file,
                export_detail::ProgressPacer& progress);
void write_gif(const RowSource& picture, export_detail::AtomicFile& file,
               export_detail::ProgressPacer& progress);
void write_bmp(const RowSource& picture, export_detail::AtomicFile& file,
               export_detail::ProgressPacer& progress);

}  // namespace lumigrid::bench::today
