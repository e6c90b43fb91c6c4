#!/usr/bin/env bash
# Installs what is missing, builds Quorvel with warnings as errors and runs
# the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset ci
cmake --build --preset ci -j "$(nproc)"
ctest --preset ci -j "$(nproc)"
