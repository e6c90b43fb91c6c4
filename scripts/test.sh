#!/usr/bin/env bash
# Installs what is missing, builds Quorvel with warnings as errors and runs
# the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset ci
cmake --build --preset ci -j "$(nproc)"
ctest --preset ci -j "$(nproc)"
# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset asan
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j "$(nproc)"
# The fuzz targets' smoke run: a bounded time each, on a copy of the seeds.
scripts/fuzz.sh
