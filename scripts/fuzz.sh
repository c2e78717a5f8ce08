#!/usr/bin/env bash
# Runs the libFuzzer harness for the given number of seconds (default 60) from
# the seed corpus; new inputs go to build/fuzz/corpus, never into the repository.
# With more than one worker (second argument) it runs a campaign: forked
# workers without leak detection, which is several times faster; replay the
# grown corpus afterwards with leak detection (see fuzz/README.md).
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
workers=${2:-1}
mkdir -p build/fuzz/corpus
# A smaller quarantine and shorter allocation stacks: the harness allocates a
# lot and these were a fifth of the run time; reports keep their full stacks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32:malloc_context_size=3}
mode=()
if [ "$workers" -gt 1 ]; then mode=(-fork="$workers" -detect_leaks=0); fi
build/fuzz/bin/kxfuzz "${mode[@]}" -max_total_time="$seconds" -max_len=1024 -timeout=10 \
  -rss_limit_mb=4096 -print_final_stats=1 build/fuzz/corpus fuzz/corpus
