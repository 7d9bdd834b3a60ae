#include <cstdio>
#include <exception>

#include "ui/application.h"

int main(int argc, char** argv) {
  try {
    lumigrid::LumigridApplication app(argc, argv);
    return lumigrid::run_lumigrid(app);
  } catch (const std::exception& error) {
    // Start-up failed outside any window's creation step.
    std::fprintf(stderr, "lumigrid: %s\n", error.what());
    return 1;
  }
}
