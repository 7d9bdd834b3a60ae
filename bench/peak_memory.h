#pragma once
// The resident memory a benchmark adds at its peak, from the kernel's own figures.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace lumigrid::bench {

// A field of /proc/self/status, in KiB; 0 where the kernel does not give it.
inline std::uint64_t status_kib(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0)
      return std::strtoull(line.c_str() + std::strlen(field), nullptr, 10);
  }
  return 0;
}

// Measures from its creation: the peak resident size restarts from the current one.
class PeakMemory {
 public:
  PeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
    before_ = status_kib("VmRSS:");
  }
  double extra_mib() const {
    const std::uint64_t peak = status_kib("VmHWM:");
    return peak > before_ ? double(peak - before_) / 1024.0 : 0.0;
  }

 private:
  std::uint64_t before_;
};

}  // namespace lumigrid::bench
