#!/usr/bin/env bash
# The main job: builds the release configuration if needed and plays the demo
# scene through the driver, leaving PNG frames in out/demo/.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build build/release --target kxdemo -j"$(nproc)"
build/release/bin/kxdemo "$@"
