#pragma once
// The PNG encoder with its compression settings exposed, so that tests can vary what must not
// change the file (the number of threads) and provoke failures part-way.
#include "export/deflate_tuning.h"
#include "export/export_internal.h"

namespace lumigrid::export_detail {

using PngTuning = DeflateTuning;

void write_png(const RowSource& picture, AtomicFile& file, ProgressPacer& progress,
               const PngTuning& tuning);

}  // namespace lumigrid::export_detail
