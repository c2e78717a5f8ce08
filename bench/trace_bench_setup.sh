# Sourced by the trace benchmarks from the repository's root: builds the
# demo, the recorder and the trace tools in build/release (configured if
# needed), and sets `bin` (their folder) and `work` (a scratch folder named
# after $1, removed when the benchmark ends).
[ -f build/release/CMakeCache.txt ] || cmake --preset release >/dev/null
cmake --build build/release --target kxdemo kxtrace_recorder kxreplay kxtrace_tool -j2 >/dev/null
bin=$PWD/build/release/bin
work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
trap 'rm -rf "$work"' EXIT
