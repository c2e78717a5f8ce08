#!/usr/bin/env bash
# The whole test suite: the Windows DLLs (32- and 64-bit) and the players'
# package; the native release build with every test (the export, import and
# package checks, and both Windows builds run under Wine, beside the later
# stages); the AddressSanitizer build; the ThreadSanitizer build over
# softsgl's band workers; and the fuzz build with short fuzz runs of the
# driver, of softsgl, of the settings reader and of the trace reader.
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
# The Wine tests run for minutes, the 32-bit ones emulated on about one core
# and one at a time on their prefix: they go on beside the stages below and
# are waited for at the end.
wine_log=build/release/wine_tests.log
ctest --test-dir build/release -j"$jobs" -L wine --output-on-failure >"$wine_log" 2>&1 &
wine_tests=$!
trap 'kill "$wine_tests" 2>/dev/null || true' EXIT
ctest --test-dir build/release -j"$jobs" -LE wine --output-on-failure

cmake --preset asan "${windows_trees[@]}" >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/asan -j"$jobs" -LE wine --output-on-failure

# softsgl's band workers under ThreadSanitizer: the softsgl, oracle and
# end-to-end tests and softsgl's fuzz corpus, with only the programs they
# need. The tests that draw on the default thread count run with
# KXPWRVR_THREADS at 2 and then 3; those that choose their own counts (1, 2,
# 3 and 8: the band and thread-count tests, the oracle, the fuzz harness)
# run once. The quality settings (bilinear, antialias 2, dither) come
# through the environment to the tests that judge frames only against the
# same frames on other thread counts, or not by their pixels; the others
# hold pixels to the settings off (goldens, the plain rules, Mesa) and set
# any they draw with themselves. The oracle's random scenes run 16 seeds (a
# quarter filtered too), not 200. Any report fails the stage.
if command -v clang++ >/dev/null; then
  cmake --preset tsan >/dev/null
  cmake --build build/tsan -j"$jobs" --target test_softsgl test_oracle test_e2e softsgl_fuzz_replay
  tsan_tests='^(softsgl|oracle|e2e)\.|^fuzz\.softsgl_replay_corpus$'
  tsan_quality='SoftsglBands\.|OnOneTwoAndThreeThreads$|^e2e\.HostProgram\.|^fuzz\.softsgl_replay'
  tsan_own_threads='SoftsglBands\.|OnOneTwoAndThreeThreads$|^oracle\.|^fuzz\.softsgl_replay'
  tsan_skip='^softsgl\.(scalar|sse2|avx2)\.' # the span kernels again under each cap: no threads
  for threads in 2 3; do
    tsan_env=(TSAN_OPTIONS=halt_on_error=1 KXPWRVR_THREADS="$threads" KX_ORACLE_SEEDS=16
      KX_ORACLE_FILTERED_EVERY=4)
    tsan_ctest=(ctest --test-dir build/tsan -j"$jobs" --output-on-failure)
    env "${tsan_env[@]}" KXPWRVR_FILTER=bilinear KXPWRVR_ANTIALIAS=2 KXPWRVR_DITHER=on \
      "${tsan_ctest[@]}" -R "$tsan_quality" -E "$tsan_skip"
    env "${tsan_env[@]}" "${tsan_ctest[@]}" -R "$tsan_tests" -E "$tsan_quality|$tsan_skip"
    tsan_skip="$tsan_skip|$tsan_own_threads"
  done
fi

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
echo "Waiting for the Wine tests (release build)..."
wine_status=0
wait "$wine_tests" || wine_status=$?
trap - EXIT
cat "$wine_log"
if [ "$wine_status" -ne 0 ]; then
  echo "The Wine tests failed (exit $wine_status)."
  exit 1
fi
echo "All test stages passed."
