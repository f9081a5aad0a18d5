# Common start of the shell tests that drive real windows under Wine.
# usage: source window_test.sh TEST_NAME BIN_DIR
# Sets bin (the Windows programs), root (the checkout), wine_run and a scratch
# folder work; a test keeps the pid of the program it started in `target`,
# which is killed, like work removed, however the test ends. Brings in the
# named checks, the Wine helpers (windows_path, wait_until), and the window
# probe with its questions about the program's main window.
bin=$(cd "$2" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
[ -n "${DISPLAY:-}" ] || { echo "$1: needs an X display (xvfb-run)"; exit 1; }

work=$(mktemp -d)
target=
driver=
cleanup() {
  [ -n "$target" ] && kill "$target" 2>/dev/null
  stop_driver
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine_helpers.sh"

# The GUI test driver: one window_probe process for the whole test, asked
# through two pipes (window_probe serve), instead of a Wine process started
# for every question.
start_driver() {
  mkfifo "$work/driver.in" "$work/driver.out"
  "$wine_run" "$bin/window_probe.exe" serve < "$work/driver.in" > "$work/driver.out" 2> "$work/driver.err" &
  driver=$!
  exec {driver_to}> "$work/driver.in" {driver_from}< "$work/driver.out"
}
stop_driver() {
  [ -n "$driver" ] || return 0
  exec {driver_to}>&- {driver_from}<&-
  kill "$driver" 2>/dev/null
  wait "$driver" 2>/dev/null
  driver=
}
# probe COMMAND ARG...: one command of the driver, its output and exit code.
# Each question carries a tag that its answer repeats; an answer read whole
# before it is printed cannot be left half read by a reader that stops early
# (grep -q), and answers of a question that was interrupted are skipped.
probe() {
  local tag="$BASHPID.$SRANDOM" line answer="" rest
  local IFS=$'\t'
  printf '%s\t%s\n' "$tag" "$*" >&"$driver_to" || { echo "window_probe: the GUI driver has gone" >&2; return 1; }
  while IFS= read -r line <&"$driver_from"; do
    line=${line%$'\r'}
    if [[ $line == $'\x1e'* ]]; then
      rest=${line#$'\x1e'}
      if [ "${rest% *}" = "$tag" ]; then
        printf '%s' "$answer"
        [ -s "$work/driver.err" ] && { cat "$work/driver.err" >&2; : > "$work/driver.err"; }
        return "${rest##* }"
      fi
      answer=
      continue
    fi
    answer+="$line"$'\n'
  done
  echo "window_probe: the GUI driver has gone" >&2
  return 1
}
start_driver
# access SUB TITLE ...: the program's elements, as a screen reader reads them.
access() { probe access "$@"; }
main() {  # main COMMAND ARG...: a probe command on the main window
  local command=$1
  shift
  probe "$command" Quillary "$@" --class MainWindow
}
page_visible() { main info --child-class "$1" | grep -q '"visible": true'; }
box_up() { probe wait "" --class '#32770' --visible --timeout 100 >/dev/null; }
