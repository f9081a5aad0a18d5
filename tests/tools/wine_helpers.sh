# What every shell test that runs Windows programs under Wine shares.
# usage: source wine_helpers.sh, with wine_run set (scripts/wine-run).

windows_path() {  # a Unix path as Windows programs see it (asked again should Wine not answer)
  local path
  # A GUI test's driver answers without a Wine process of its own.
  [ -n "${driver:-}" ] && probe path "$1" && return 0
  for _ in 1 2 3; do
    path=$("$wine_run" winepath -w "$1" 2>/dev/null) && [ -n "$path" ] && { echo "$path"; return 0; }
    sleep 1
  done
  return 1
}

wait_until() {  # wait_until SECONDS COMMAND...: until the command succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}
