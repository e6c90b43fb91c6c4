#!/usr/bin/env bash
# Installs what is missing, builds Quorvel and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$(nproc)" --target quorvel-demo quorvel-example
# Opens the demo's window; without a display it plays its scripted session
# on Qt's offscreen platform and prints where its screenshot and log went.
build/ci/apps/quorvel-demo/quorvel-demo "$@"
