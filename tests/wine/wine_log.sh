# Sourced by the Wine tests' scripts that run several programs: what one run
# of scripts/wine_run.sh shows in its output, kept in a file.

# wine_exit LOG: the program's exit code (empty when the run did not end).
wine_exit() {
  sed -n 's/^wine_run: .* exit code \([0-9]*\)$/\1/p' "$1" | tail -n1
}

# wine_passed LOG REGEX [TEXT...]: the program exited with 0, its last line
# matches REGEX ("" takes any) and its output holds each TEXT; says why not.
wine_passed() {
  local log=$1 regex=$2 code last text ok=0
  shift 2
  code=$(wine_exit "$log")
  [ "$code" = 0 ] || { echo "$log: the program exited with ${code:-nothing}"; ok=1; }
  last=$(grep -v '^wine_run: .* exit code [0-9]*$' "$log" | grep -v '^[[:space:]]*$' | tail -n1)
  if [ -n "$regex" ] && ! printf '%s\n' "$last" | grep -Eq -- "$regex"; then
    echo "$log: the last line \"$last\" does not match /$regex/"
    ok=1
  fi
  for text in "$@"; do
    grep -Fq -- "$text" "$log" || { echo "$log: the output lacks \"$text\""; ok=1; }
  done
  return $ok
}
