#!/usr/bin/env bash
# Installs what the build needs, builds the release preset and runs every test; then builds only the
# test suite for the baseline preset (no AVX2 or AVX-512 kernel variants) and for ASan + UBSan and runs
# it there too. Each core library is checked for AVX code outside the run-time kernel variants.
# ZK_BUILD_JOBS caps the build's parallel jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
jobs="${ZK_BUILD_JOBS:-$(nproc)}"
cmake --preset release
cmake --build --preset release -j "$jobs"
bash tools/check-kernel-isa.sh build/release/core/libzk_core.a
ctest --preset release
for preset in baseline asan; do
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs" --target zk_tests
    bash tools/check-kernel-isa.sh "build/$preset/core/libzk_core.a"
    ctest --preset "$preset"
done
