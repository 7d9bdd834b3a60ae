#pragma once
// The one progress report of long work (building a page, writing or printing a picture): called
// with the fraction done, 0 to 1, on the thread that does the work. Empty means nobody listens.
#include <functional>

namespace lumigrid {

using ProgressCallback = std::function<void(double)>;

}  // namespace lumigrid
