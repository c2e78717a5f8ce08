#!/usr/bin/env bash
# kxcheck.sh RUNNER FOLDER WORK
#
# kxcheck.exe under Wine, from FOLDER (kxcheck.exe, kxpwrvr.dll, sgl.dll: a
# build's bin/ or the unpacked players' package), as a player meets it:
#   - with every file: every step passes, the test frame matches, the report
#     kxcheck.txt lies beside it (Windows text) and says so;
#   - without sgl.dll: the files step names it missing, loading the driver
#     fails with error 126, and the report says why;
#   - without kxpwrvr.dll: the files step names it, loading fails;
#   - on a display that cannot be set to 640 x 480 x 16 (no virtual
#     desktop): Init fails, with the DirectDraw result and the driver's
#     messages naming the refused call.
# Exit 77 (skipped) while the folder has no kxcheck.exe or its Wine cannot
# run here.
set -u
. "$(dirname "$0")/wine_log.sh"
runner=$1 folder=$2 work=$3
[ -f "$folder/kxcheck.exe" ] || { echo "SKIP: $folder/kxcheck.exe not built"; exit 77; }
"$runner" --check "$folder/kxcheck.exe" || exit $?
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run NAME EXPECTED_EXIT FILES... : kxcheck in a folder of its own with FILES
# copied from FOLDER; its output in $work/NAME.out, its report in
# $work/NAME/kxcheck.txt. Extra runner options in $options.
run() {
  local name=$1 expected=$2
  shift 2
  mkdir -p "$work/$name"
  for f in kxcheck.exe "$@"; do cp "$folder/$f" "$work/$name/"; done
  echo "== kxcheck: $name"
  # shellcheck disable=SC2086
  "$runner" $options "$work/$name/kxcheck.exe" >"$work/$name.out" 2>&1
  if [ "$expected" = 0 ] && ! wine_passed "$work/$name.out" '^kxcheck: report written to '; then
    cat "$work/$name.out"
    fail "$name: kxcheck did not pass"
  fi
  if [ "$expected" != 0 ] && { [ "$(wine_exit "$work/$name.out")" != "$expected" ] ||
    ! grep -q '^kxcheck: report written to ' "$work/$name.out"; }; then
    cat "$work/$name.out"
    fail "$name: kxcheck did not exit with $expected"
  fi
  [ -f "$work/$name/kxcheck.txt" ] || fail "$name: no kxcheck.txt beside kxcheck.exe"
}
expect() { # NAME TEXT...: the report holds each text
  local name=$1
  shift
  for text in "$@"; do
    grep -qF -- "$text" "$work/$name/kxcheck.txt" 2>/dev/null || fail "$name: the report lacks \"$text\""
  done
}

options=
run complete 0 kxpwrvr.dll sgl.dll
expect complete "kxpwrvr.dll: " ", \"kxpwrvr render driver" "(this package's software SGL)" \
  "Detect: recent enough" "Init: started" "the frame matches the expected image" \
  "Shutdown: done; mouse cursor shown again" "every step passed"
grep -Eq "^Pixel kernels: [a-z0-9]+ \(the processor's best: [a-z0-9]+\)"$'\r'"?$" \
  "$work/complete/kxcheck.txt" 2>/dev/null || fail "complete: the report does not name the kernel level"
if [ -f "$work/complete/kxcheck.txt" ]; then
  crlf=$(grep -c $'\r$' "$work/complete/kxcheck.txt")
  lines=$(wc -l <"$work/complete/kxcheck.txt")
  [ "$crlf" = "$lines" ] || fail "kxcheck.txt is not Windows text ($crlf of $lines lines end in CR LF)"
  echo "--- the report:"
  cat "$work/complete/kxcheck.txt"
  echo "---"
fi
[ -f "$work/complete/kxcheck.png" ] || fail "no kxcheck.png beside kxcheck.exe"

run no_sgl 1 kxpwrvr.dll
expect no_sgl "sgl.dll: MISSING" "step 1 failed" "step 2 failed: loading kxpwrvr.dll (error 126)" \
  "kxpwrvr.dll needs sgl.dll beside it" "2 step(s) failed"

run no_driver 1 sgl.dll
expect no_driver "kxpwrvr.dll: MISSING" "step 2 failed: loading kxpwrvr.dll (error 126)" \
  "2 step(s) failed"

options=--no-virtual-desktop
run no_mode 1 kxpwrvr.dll sgl.dll
expect no_mode "step 4 failed: Init, DirectDraw answered DDERR_UNSUPPORTED (0x80004001)" \
  "ddSetDisplayMode, SetDisplayMode 640 x 480 x 16 failure!" "Init, ddrawInit failure!" \
  "virtual desktop of 640 x 480" "1 step(s) failed"

if [ $failures -ne 0 ]; then
  echo "FAIL: $failures check(s) failed (runs kept in $work)"
  exit 1
fi
echo "PASS: kxcheck passes with every file and names the missing file, the error and the refused mode"
