#!/usr/bin/env bash
# Runs a libFuzzer harness of build/fuzz (cmake --preset fuzz; cmake --build
# build/fuzz --target kxfuzz), or of the tree KXFUZZ_BUILD names (the asan
# tree builds the harnesses too, and CI fuzzes from there).
#
#   scripts/fuzz.sh [SECONDS]
#       One worker in the foreground (default 60 s, the CI stage) from the
#       seed corpus; new inputs go to <tree>/corpus (<tree>/
#       <harness>_corpus for the other harnesses), never into the repository.
#   scripts/fuzz.sh campaign SECONDS [WORKERS] [EARLIER_CAMPAIGN]
#       A campaign in the background under nice -n 19, with WORKERS
#       workers (default: one per core) for SECONDS; given the folder of an
#       earlier campaign of the same harness, it goes on from that one's
#       corpus instead of starting over from the seeds. The program is copied
#       first, so later builds do not change what runs; the commit it was
#       built from and the logs (each worker's fuzz-<n>.log) go to
#       <tree>/campaigns/<time>-<harness>/, a finding to the findings folder
#       below.
#       At the end the grown corpus is merged into the seed corpus. Hours
#       are what finds faults here: scripts/fuzz.sh campaign 14400 for 4 h.
#   scripts/fuzz.sh merge DIR...
#       Folds the inputs of DIR... into the seed corpus: the named seeds stay,
#       and of the other inputs the smallest set is kept that reaches every
#       feature the seeds and DIR... reach together.
#
# A crash, a failed check or a leak writes its input to <tree>/findings/
# <harness>/, and every run reads that folder first, so an input that still
# fails stops the next run at once; delete it once its fault is mended (and
# keep it in the seed corpus under a name that says what it shows).
#
# KXFUZZ_HARNESS picks the harness by name (default "driver"; "softsgl" for
# softsgl's own operations, "trace" for the trace reader, "settings" for
# the settings file's reader); to add one, add a
# line to the table below.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
tree=${KXFUZZ_BUILD:-build/fuzz}
tree=$(cd "$tree" && pwd)

# name | program in <tree>/bin | seed corpus | dictionary (- for none) | longest input
harnesses="
driver | kxfuzz | fuzz/corpus | fuzz/driver.dict | 1024
trace | kxtracefuzz | fuzz/trace_corpus | - | 65536
softsgl | kxsoftsglfuzz | fuzz/softsgl_corpus | - | 4096
settings | kxsettingsfuzz | fuzz/settings_corpus | - | 4096
"
harness=${KXFUZZ_HARNESS:-driver}
line=$(printf '%s\n' "$harnesses" | awk -F' *[|] *' -v h="$harness" '$1 == h')
if [ -z "$line" ]; then
  echo "fuzz.sh: no harness named $harness" >&2
  exit 2
fi
IFS='|' read -r _ program seeds dictionary max_len <<<"$(echo "$line" | tr -d ' ')"

# A smaller quarantine and shorter allocation stacks: the harness allocates a
# lot and these were a fifth of the run time; reports keep their full stacks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32:malloc_context_size=3}
# No settings file: one left in the build folder changes no harness.
export KXPWRVR_INI=
# Inputs are picked less often the longer they run: the deep inputs are the
# slow ones, and without this the fuzzer spends most of its time replaying
# them (twice the executions in the same time, the same features).
# Slow inputs are not findings: written to the findings folder, which every
# run reads first, a few of them made each start take minutes. Only inputs
# past the time limit (timeouts) are kept there.
flags=(-max_len="$max_len" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1
  -entropic_scale_per_exec_time=1 -report_slow_units=100000)
if [ "$dictionary" != "-" ]; then flags+=(-dict="$root/$dictionary"); fi

findings=$tree/findings/$harness
mkdir -p "$findings"
export KXFUZZ_FINDINGS=$findings

# Named seeds are kept as they are; inputs named by their hash come and go.
is_named() { ! [[ $(basename "$1") =~ ^[0-9a-f]{40}$ ]]; }

merge() { # PROGRAM DIR...: merges DIR... into the seed corpus
  local binary=$1
  shift
  local merged
  merged=$(mktemp -d)
  for f in "$seeds"/*; do
    if is_named "$f"; then cp "$f" "$merged/"; fi
  done
  "$binary" -merge=1 "${flags[@]}" "$merged" "$seeds" "$@" >"$merged.log" 2>&1 || {
    tail -20 "$merged.log" >&2
    return 1
  }
  for f in "$seeds"/*; do
    if ! is_named "$f"; then rm "$f"; fi
  done
  for f in "$merged"/*; do
    if ! is_named "$f"; then cp "$f" "$seeds/"; fi
  done
  grep -E "MERGE-OUTER: [0-9]+ new files" "$merged.log" || true
  echo "seed corpus: $(ls "$seeds" | wc -l) inputs, $(du -sh "$seeds" | cut -f1)"
  rm -r "$merged" "$merged.log"
}

mode=${1:-60}
case "$mode" in
campaign)
  seconds=${2:?seconds}
  workers=${3:-$(nproc)}
  earlier=${4:-}
  if [ -n "$earlier" ] && ! [ -d "$earlier/corpus" ]; then
    echo "fuzz.sh: $earlier is not a campaign's folder (it has no corpus)" >&2
    exit 2
  fi
  dir=$tree/campaigns/$(date -u +%Y%m%d-%H%M%S)-$harness
  mkdir -p "$dir/bin" "$dir/corpus"
  if [ -n "$earlier" ]; then
    cp -r "$earlier/corpus/." "$dir/corpus/"
    echo "$earlier" >"$dir/earlier"
  fi
  cp "$tree/bin/$program" "$tree"/bin/*.so "$dir/bin/"
  { git rev-parse HEAD; git status --porcelain --untracked-files=no; } >"$dir/commit"
  echo "campaign in $dir (log: $dir/log), $workers workers for $seconds s"
  # Timeouts are measured in wall time: at nice 19 on a machine others keep
  # busy an input may take a hundred times its CPU time, and a campaign
  # paused (SIGSTOP) for a quiet benchmark counts the pause too, so a
  # campaign allows 10 minutes (a hang still ends it).
  flags=("${flags[@]/-timeout=10/-timeout=600}")
  # Workers that each fuzz for the whole time, sharing the corpus folder
  # (each reloads the others' finds), each logging to fuzz-<n>.log there:
  # fork mode restarted a short job every few seconds and ran a tenth as
  # many inputs on the softsgl harness.
  nohup nice -n 19 bash -c '
    set -u
    (cd "$0" && "$0/bin/$1" -jobs="$2" -workers="$2" -max_total_time="$3" \
      -artifact_prefix="$KXFUZZ_FINDINGS/" "${@:6}" "$0/corpus" "$4" "$KXFUZZ_FINDINGS") \
      >"$0/log" 2>&1
    echo "exit $?" >>"$0/log"
    KXFUZZ_HARNESS="$5" scripts/fuzz.sh merge-with "$0/bin/$1" "$0/corpus" >>"$0/log" 2>&1
  ' "$dir" "$program" "$workers" "$seconds" "$root/$seeds" "$harness" "${flags[@]}" \
    >/dev/null 2>&1 &
  ;;
merge)
  shift
  merge "$tree/bin/$program" "$@"
  ;;
merge-with)
  shift
  merge "$@"
  ;;
*)
  # Each harness grows a corpus of its own (the driver's keeps the old name).
  work=$tree/corpus
  if [ "$harness" != driver ]; then work=$tree/${harness}_corpus; fi
  mkdir -p "$work"
  "$tree/bin/$program" -max_total_time="$mode" -artifact_prefix="$findings/" "${flags[@]}" \
    "$work" "$seeds" "$findings"
  ;;
esac
