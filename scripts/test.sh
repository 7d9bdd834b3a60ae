#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: the release build (warnings
# as errors, end-to-end test under Xvfb included) and the AddressSanitizer +
# UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
echo "== release build" >&2
cmake --preset release -DLUMIGRID_WERROR=ON >/dev/null
cmake --build --preset release -j "$jobs"
echo "== clang-format check" >&2
bash scripts/check-format.sh
echo "== release tests" >&2
ctest --preset release -j "$jobs" --timeout 600

echo "== sanitizer build" >&2
cmake --preset asan -DLUMIGRID_WERROR=ON >/dev/null
cmake --build --preset asan -j "$jobs"
echo "== sanitizer tests" >&2
ctest --preset asan -j "$jobs" --timeout 900 -LE e2e
