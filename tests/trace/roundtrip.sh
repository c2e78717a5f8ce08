#!/usr/bin/env bash
# roundtrip.sh BIN WORK NAME HOST [ARGUMENTS...]
#
# Plays a host program three ways and compares their frames bit for bit:
# directly on the driver, through the recording driver (recording must not
# change what the host sees), and as a replay of the trace it recorded. The
# host's arguments may name @DRIVER@ (the library it loads) and @OUT@ (its
# frame folder). Then the trace is unpacked and packed again: both copies
# must read as the same calls.
set -u
bin=$1 work=$2 name=$3
shift 3
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }

host() { # host DRIVER OUT
  local args=() a
  for a in "${host_args[@]}"; do a=${a//@DRIVER@/$1}; args+=("${a//@OUT@/$2}"); done
  "${args[@]}"
}
host_args=("$@")

echo "== $name on the driver"
host "$bin/libkxpwrvr.so" "$work/direct" >"$work/direct.log" 2>&1 || { cat "$work/direct.log"; fail "the host failed"; }
echo "== $name through the recorder"
KXTRACE_FILE="$work/$name.kxtrace" host "$bin/libkxtrace.so" "$work/recorded" >"$work/recorded.log" 2>&1 ||
  { cat "$work/recorded.log"; fail "the host failed through the recorder"; }
[ -s "$work/$name.kxtrace" ] || fail "no trace written"
"$bin/kximgdiff" "$work/direct" "$work/recorded" || fail "recording changed the host's frames"

frames=$(cd "$work/recorded" && ls frame_*.png | sed 's/frame_0*\([0-9]\)/\1/; s/\.png//' | paste -sd, -)
echo "== replay of frames $frames"
"$bin/kxreplay" "$work/$name.kxtrace" --dump-frames "$work/replayed" --frames "$frames" ||
  fail "the replay failed or differed"
"$bin/kximgdiff" "$work/recorded" "$work/replayed" --html "$work/report.html" ||
  fail "replayed frames differ from the recorded ones (see $work/report.html)"

echo "== unpack and pack"
"$bin/kxtrace" unpack "$work/$name.kxtrace" "$work/unpacked.kxtrace" >/dev/null || fail "unpack failed"
"$bin/kxtrace" pack "$work/unpacked.kxtrace" "$work/packed.kxtrace" >/dev/null || fail "pack failed"
"$bin/kxtrace" dump "$work/$name.kxtrace" >"$work/original.txt" || fail "dump failed"
"$bin/kxtrace" dump "$work/unpacked.kxtrace" >"$work/unpacked.txt"
"$bin/kxtrace" dump "$work/packed.kxtrace" >"$work/packed.txt"
cmp -s "$work/original.txt" "$work/unpacked.txt" && cmp -s "$work/original.txt" "$work/packed.txt" ||
  fail "unpacked or packed copies read differently"
"$bin/kxtrace" info "$work/$name.kxtrace"
echo "PASS: $name: $(echo "$frames" | tr , ' ' | wc -w) frames the same directly, recorded and replayed"
