#!/usr/bin/env bash
# The whole test suite: the Windows DLLs (32- and 64-bit) and the players'
# package; the native release build with every test (the export, import and
# package checks, and both Windows builds run under Wine, beside the later
# stages); the sanitizer build (clang, AddressSanitizer and UBSan) with every
# test and short fuzz runs of its harnesses (the driver, softsgl, the
# settings reader and the trace reader); and the ThreadSanitizer build over
# softsgl's band workers.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
# Tests include only what a host and the test controls see: seconds, so first.
scripts/check_test_includes.py
jobs=$(nproc)
# Every mutation of the mutation run still finds the line it mutates.
scripts/mutation_test.py --check

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

# One sanitizer tree builds the tests and the fuzz harnesses: a second
# tree for fuzzing alone cost CI four minutes of compiling.
cmake --preset asan "${windows_trees[@]}" >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/asan -j"$jobs" -LE wine --output-on-failure

# A libFuzzer run is one process on one core: two harnesses at a time.
fuzz_pair() { # NAME SECONDS NAME SECONDS
  KXFUZZ_BUILD=build/asan KXFUZZ_HARNESS=$1 scripts/fuzz.sh "$2" >"build/asan/fuzz_$1.log" 2>&1 &
  local first=$! status=0
  KXFUZZ_BUILD=build/asan KXFUZZ_HARNESS=$3 scripts/fuzz.sh "$4" >"build/asan/fuzz_$3.log" 2>&1 ||
    status=1
  wait "$first" || status=1
  tail -n 20 "build/asan/fuzz_$1.log" "build/asan/fuzz_$3.log"
  return "$status"
}
fuzz_pair driver 45 softsgl 45
fuzz_pair settings 20 trace 20

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
