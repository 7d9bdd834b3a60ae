// A program that carries a version record of a known version and nothing else.
#include "about/version_record.h"

[[gnu::used]] static const lumigrid::about::VersionRecord kRecord =
    lumigrid::about::make_version_record(2, 13, 0, 407);

int main() {
  return 0;
}
