#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts lumigrid.
# On a tree already built this is quick: one package query, no configure (the build re-runs
# CMake by itself when a CMake file changed) and a build that finds nothing to do.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
[ -e build/release/build.ninja ] || cmake --preset release >/dev/null
cmake --build --preset release --target lumigrid lumigrid-render
# A first start on a fresh clone gets the prepared colour charts as its settings file; an
# existing settings file is never touched.
[ -e build/release/src/app/lumigrid.INI ] || cp charts/lumigrid-charts.INI build/release/src/app/lumigrid.INI
exec build/release/src/app/lumigrid "$@"
