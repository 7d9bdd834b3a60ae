// A program that holds the version reader, and so its masked markers, but no version record.
#include <cstdio>

#include "about/version_record.h"

int main(int argc, char** argv) {
  if (argc > 1) std::puts(lumigrid::about::get_file_version(argv[1]).c_str());
  return 0;
}
