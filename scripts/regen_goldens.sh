#!/usr/bin/env bash
# Rewrites the golden images of the end-to-end scenes (tests/golden/*.png)
# and of the replayed trace (tests/trace/golden/*.png) from what the driver
# draws now. Only for a change of the pictures that is
# meant: look at every rewritten image before committing it. The scenes' own
# pixel checks still run and still fail on a wrong picture.
#   scripts/regen_goldens.sh              # in build/release (configured if needed)
#   KX_BUILD_DIR=build/debug scripts/regen_goldens.sh
set -eu
cd "$(dirname "$0")/.."
build=${KX_BUILD_DIR:-build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
  if [ "$build" = build/release ]; then
    cmake --preset release >/dev/null
  else
    echo "regen_goldens: $build is not a configured build folder" >&2
    exit 2
  fi
fi
cmake --build "$build" --target test_e2e kxreplay kximgdiff -j"$(nproc)"
KX_REGENERATE_GOLDENS=1 ctest --test-dir "$build" -R '^(e2e\.GoldenScenes\.|trace\.golden_trace)' \
  --output-on-failure
echo "Rewritten golden images (compare them with the previous ones before committing):"
git status --short tests/golden tests/trace/golden
