#pragma once
// The helper threads Qt paints with, started once before any window exists.
#include <chrono>

namespace lumigrid {

// Qt's raster engine splits a large fill among the threads of the global thread pool and waits
// for every part. A part handed to a thread that then fails to start (a memory or thread limit)
// is never run, and that paint waits for ever. So the pool's threads start here, as many as can
// start now, and stay for the program's life: no later paint starts a thread.
struct PaintThreads {
  // Threads the pool was given to start.
  int asked = 0;
  // Threads that started within the time limit. None: no window may be shown, its first large
  // fill would wait for ever. Fewer than asked: the pool counts a thread that never ran, and
  // Qt's clean-up at exit would wait for it for ever.
  int started = 0;
};
PaintThreads start_paint_threads(std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace lumigrid
