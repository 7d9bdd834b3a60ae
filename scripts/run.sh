#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts lumigrid.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target lumigrid lumigrid-render
# A first start on a fresh clone gets the prepared colour charts as its settings file; an
# existing settings file is never touched.
[ -e build/release/src/app/lumigrid.INI ] || cp charts/lumigrid-charts.INI build/release/src/app/lumigrid.INI
exec build/release/src/app/lumigrid "$@"
