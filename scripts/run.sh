#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts lumigrid.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target lumigrid lumigrid-render
exec build/release/src/app/lumigrid "$@"
