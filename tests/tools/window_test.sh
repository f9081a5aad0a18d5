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
cleanup() {
  [ -n "$target" ] && kill "$target" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine_helpers.sh"

probe() { "$wine_run" "$bin/window_probe.exe" "$@" | tr -d '\r'; }
main() {  # main COMMAND ARG...: a probe command on the main window
  local command=$1
  shift
  probe "$command" Quillary "$@" --class MainWindow
}
page_visible() { main info --child-class "$1" | grep -q '"visible": true'; }
box_up() { probe wait "" --class '#32770' --visible --timeout 100 >/dev/null; }
