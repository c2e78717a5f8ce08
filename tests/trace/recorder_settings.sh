#!/usr/bin/env bash
# recorder_settings.sh BIN WORK
#
# The recorder's own settings come from the [kxtrace] part of kxpwrvr.ini,
# with KXTRACE_<KEY> over them: the trace goes where `file` says (relative
# to the file), packed as `compress` says; a line it cannot use is said
# once, and the lines after it still count; the driver says nothing of that
# part. The settings a trace keeps are those the driver it loads reads: from
# the file beside that driver, not the recorder's own, when they lie apart.
set -u
bin=$1 work=$2
rm -rf "$work" && mkdir -p "$work/traces"
fail() { echo "FAIL: $*"; exit 1; }
demo() { # LOG RECORDER
  "$bin/kxdemo" --frames 2 --write none --driver "$2" >"$1" 2>&1 || { cat "$1"; fail "the demo failed"; }
}
expect() { # FILE TEXT
  grep -qF -- "$2" "$1" || { cat "$1"; fail "$1 lacks \"$2\""; }
}
count() { grep -cF -- "$2" "$1"; }

echo "== [kxtrace] keys from the file"
cat >"$work/kxpwrvr.ini" <<'EOF'
[kxpwrvr]
log = driver.log
[kxtrace]
speed = fast
compress = zstd
file = traces/from_ini
EOF
export KXPWRVR_INI="$work/kxpwrvr.ini"
demo "$work/ini.out" "$bin/libkxtrace.so"
[ -s "$work/traces/from_ini.kxtrace" ] || { cat "$work/ini.out"; fail "no trace where the file says"; }
"$bin/kxtrace" info "$work/traces/from_ini.kxtrace" >"$work/ini.info" || fail "kxtrace info failed"
expect "$work/ini.info" "zstd"
bad='kxpwrvr.ini line 4: unknown key "speed"; ignored'
[ "$(count "$work/ini.out" "$bad")" = 1 ] || { cat "$work/ini.out"; fail "the bad line was not said once by the recorder"; }
# In the log: the recorder's one line, nothing of the driver's about that part.
[ "$(count "$work/driver.log" "speed")" = 1 ] || { cat "$work/driver.log"; fail "the log does not hold the bad line once"; }
expect "$work/driver.log" "kxtrace: settings: $bad"

echo "== KXTRACE_FILE and KXTRACE_COMPRESS over the file"
rm "$work/traces/from_ini.kxtrace"
KXTRACE_FILE="$work/from_variable" KXTRACE_COMPRESS=none demo "$work/var.out" "$bin/libkxtrace.so"
[ ! -e "$work/traces/from_ini.kxtrace" ] || fail "the file's trace path was used over KXTRACE_FILE"
"$bin/kxtrace" info "$work/from_variable.kxtrace" >"$work/var.info" || fail "no trace where KXTRACE_FILE says"
expect "$work/var.info" "uncompressed"

echo "== the recorder and the driver apart: the driver's settings are those beside it"
unset KXPWRVR_INI
mkdir -p "$work/recorder" "$work/driver"
cp "$bin/libkxtrace.so" "$work/recorder/"
cp "$bin/libkxpwrvr.so" "$bin/libsgl.so" "$work/driver/"
printf 'dither = on\n[kxtrace]\ndriver = ../driver/libkxpwrvr.so\nfile = apart\n' >"$work/recorder/kxpwrvr.ini"
demo "$work/apart.out" "$work/recorder/libkxtrace.so"
"$bin/kxtrace" info "$work/recorder/apart.kxtrace" >"$work/apart.info" || { cat "$work/apart.out"; fail "no trace beside the recorder"; }
expect "$work/apart.info" "dither = off"
printf 'filter = bilinear\n' >"$work/driver/kxpwrvr.ini"
demo "$work/apart2.out" "$work/recorder/libkxtrace.so"
"$bin/kxtrace" info "$work/recorder/apart.kxtrace" >"$work/apart2.info" || fail "kxtrace info failed"
expect "$work/apart2.info" "filter = bilinear, antialias = 1, dither = off"
echo "PASS: [kxtrace] keys taken, the variables over them, a bad line said once; the driver's settings from beside it"
