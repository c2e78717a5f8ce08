#!/usr/bin/env bash
# Runs the randomized Mesa oracle test (tests/oracle/random_scenes_test.cpp)
# over many seeds: COUNT seeds from FIRST (default 0), in chunks of 400 run
# side by side, one per core, at nice 10. Prints each chunk's summary, then
# the failing seeds and the worst seed (the most interior pixels apart from
# Mesa, ties included). Failing seeds leave their draw list and images in
# <build>/oracle-failures/.
#
#   scripts/oracle_seeds.sh 10000            # seeds 0 to 9999
#   scripts/oracle_seeds.sh 5000 20000       # seeds 20000 to 24999
#   KX_BUILD_DIR=build/debug scripts/oracle_seeds.sh 1000
#   KX_ORACLE_FILTERED_EVERY=1 scripts/oracle_seeds.sh 1000   # every seed filtered too
set -eu
cd "$(dirname "$0")/.."
count=${1:?usage: oracle_seeds.sh COUNT [FIRST]}
first=${2:-0}
build=${KX_BUILD_DIR:-build/release}
program=$build/bin/test_oracle
if [ ! -x "$program" ]; then
  echo "oracle_seeds: no $program (cmake --preset release && cmake --build build/release)" >&2
  exit 2
fi
chunk=400
log=$(mktemp -d)
trap 'rm -r "$log"' EXIT
start=$(date +%s)
seq "$first" "$chunk" $((first + count - 1)) | xargs -P "$(nproc)" -I{} sh -c '
  n=$(( '"$first"' + '"$count"' - {} )); [ "$n" -gt '"$chunk"' ] && n='"$chunk"'
  KX_ORACLE_FIRST_SEED={} KX_ORACLE_SEEDS=$n nice -n 10 "$0" --gtest_filter="*RandomScenes*" \
    >"$1/{}.out" 2>&1
  grep -h "^seeds" "$1/{}.out"' "$program" "$log"
end=$(date +%s)
cat "$log"/*.out >"$log/all"
run=$(awk '/^seeds/ { n += $5 } END { print n + 0 }' "$log/all")
failed=$(grep -c '^seed [0-9]*:' "$log/all" || true)
echo "$run seeds run in $((end - start)) s, $failed failed"
grep -h -A3 '^seed [0-9]*:' "$log/all" || true
# The worst seed: the most interior pixels apart from Mesa, ties included.
awk '/^seeds/ { for (i = 1; i <= NF; ++i) if ($i == "apart") {
         n = $(i - 1); if (n > worst) { worst = n; line = $0 } } }
     END { if (line) { sub(/.*worst /, "worst ", line); print line } }' "$log/all"
if [ "$failed" -ne 0 ] || [ "$run" -ne "$count" ]; then exit 1; fi
