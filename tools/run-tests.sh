#!/usr/bin/env bash
# Installs what the build needs, builds the release preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset release
cmake --build --preset release
ctest --preset release
