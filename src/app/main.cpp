// The lumigrid program. Everything it does, its command line included, is src/ui/'s: this
// folder stays free of Qt.
#include "ui/start_up.h"

int main(int argc, char** argv) {
  return lumigrid::lumigrid_main(argc, argv);
}
