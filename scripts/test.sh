#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: the release build (warnings
# as errors, end-to-end test under Xvfb included; clang-format and clang-tidy, any finding an
# error, check the sources) and the AddressSanitizer +
# UndefinedBehaviorSanitizer build. Last, each fuzz target runs for a few seconds
# (LUMIGRID_FUZZ_SECONDS, default 10) when clang's libFuzzer is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
echo "== release build" >&2
cmake --preset release -DLUMIGRID_WERROR=ON >/dev/null
cmake --build --preset release -j "$jobs"
echo "== clang-format check" >&2
bash scripts/check-format.sh
echo "== clang-tidy on the sources" >&2
cmake --preset tidy >/dev/null
cmake --build --preset tidy -j "$jobs"
echo "== release tests" >&2
ctest --preset release -j "$jobs" --timeout 600

echo "== sanitizer build" >&2
cmake --preset asan -DLUMIGRID_WERROR=ON >/dev/null
cmake --build --preset asan -j "$jobs"
echo "== sanitizer tests" >&2
ctest --preset asan -j "$jobs" --timeout 900 -LE e2e

# libFuzzer ships with clang's runtime libraries (libclang-rt-14-dev on Debian 12).
if command -v clang++ >/dev/null && echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' \
    | clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
  echo "== fuzz build" >&2
  cmake --preset fuzz -DLUMIGRID_WERROR=ON >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  echo "== fuzz targets, ${LUMIGRID_FUZZ_SECONDS:-10} s each" >&2
  LUMIGRID_FUZZ_SECONDS=${LUMIGRID_FUZZ_SECONDS:-10} ctest --test-dir build/fuzz -j "$jobs" \
    --output-on-failure --timeout 600
else
  echo "######################################################################" >&2
  echo "## FUZZING SKIPPED: clang with libFuzzer (clang, libclang-rt-14-dev) ##" >&2
  echo "## is not installed, so the fuzz targets were neither built nor run. ##" >&2
  echo "######################################################################" >&2
fi
