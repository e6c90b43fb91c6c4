#!/usr/bin/env bash
# Installs what is missing, builds Quorvel and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$(nproc)" --target quorvel-example
build/ci/apps/quorvel-example "$@"
