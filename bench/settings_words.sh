# Sourced by the benchmark scripts: take_settings "$@" exports the leading
# SETTING=VALUE words (filter=bilinear antialias=2 dither=on ...) as the
# libraries' KXPWRVR_* variables, keeps them in $settings for the report and
# their count in $settings_count, for the caller to shift.
take_settings() {
  settings=""
  settings_count=0
  while [[ ${1:-} == *=* ]]; do
    local key=${1%%=*}
    export "KXPWRVR_${key^^}=${1#*=}"
    settings="$settings $1"
    settings_count=$((settings_count + 1))
    shift
  done
}
