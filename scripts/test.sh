#!/usr/bin/env bash
# The whole test suite: the Windows DLLs (32- and 64-bit) and the players'
# package, the native release build with every test (the export, import and
# package checks, and both Windows builds run under Wine), the sanitizer
# build, and the fuzz build with short fuzz runs of the driver, of softsgl and
# of the trace reader.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)

for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" -j"$jobs"
done
# The native trees' Windows tests check these trees: given, they must be
# there and up to date, or those tests fail instead of skipping.
windows_trees=(-DKX_WIN32_BUILD="$PWD/build/win32" -DKX_WIN64_BUILD="$PWD/build/win64")

cmake --preset release "${windows_trees[@]}" >/dev/null
cmake --build build/release -j"$jobs"
ctest --test-dir build/release -j"$jobs" --output-on-failure

cmake --preset asan "${windows_trees[@]}" >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/asan -j"$jobs" -LE wine --output-on-failure

if [ -f fuzz/CMakeLists.txt ] && command -v clang++ >/dev/null; then
  cmake --preset fuzz >/dev/null
  # The harnesses and what they link, not the tools: CI's time goes to fuzzing.
  cmake --build build/fuzz -j"$jobs" --target kxfuzz kxfuzz_seeds kxtracefuzz kxsoftsglfuzz \
    kxsettingsfuzz
  scripts/fuzz.sh 45
  KXFUZZ_HARNESS=softsgl scripts/fuzz.sh 45
  KXFUZZ_HARNESS=settings scripts/fuzz.sh 15
  # The trace reader's harness, from its own seeds (new inputs stay in build/).
  mkdir -p build/fuzz/trace_corpus
  build/fuzz/bin/kxtracefuzz -max_total_time=20 -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 build/fuzz/trace_corpus fuzz/trace_corpus
fi
echo "All test stages passed."
