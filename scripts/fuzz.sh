#!/usr/bin/env bash
# Runs the libFuzzer harness for the given number of seconds (default 60) from
# the seed corpus; new inputs go to build/fuzz/corpus, never into the repository.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
mkdir -p build/fuzz/corpus
build/fuzz/bin/kxfuzz -max_total_time="$seconds" -max_len=1024 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 build/fuzz/corpus fuzz/corpus
