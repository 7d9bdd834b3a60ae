#!/usr/bin/env bash
# Applies the format that scripts/check-format.sh enforces to every C++ source in the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' |
  xargs --no-run-if-empty clang-format -i
