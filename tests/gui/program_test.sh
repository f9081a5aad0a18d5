# What the GUI tests of quillary.exe share: the window probe and its
# questions about the main window, the program in a folder of its own with
# the demo PC in the prefix's device tree (and three out-of-date devices in
# $work/updates), quillary-service (or a stalling stand-in) on the program's
# three server addresses, starting and stopping the program, its settings,
# and clicks on the header.
# usage: after tests/tools/window_test.sh, with test_name, gui, native and art set:
#   source "$gui/program_test.sh"
json() { python3 -c "import json,sys; d=json.loads(sys.argv[1]); print($2)" "$1"; }
visible() { main state | grep -q '"visible": true'; }
hidden() { main state | grep -q '"visible": false'; }
foreground() { main state | grep -q '"foreground": true'; }
zoomed() { main info | grep -q '"zoomed": true'; }
not_zoomed() { main info | grep -q '"zoomed": false'; }
no_box() { ! probe wait "" --class '#32770' --visible --timeout 1000 >/dev/null; }
source "$(dirname "${BASH_SOURCE[0]}")/message_box.sh"

# --- the program, the demo PC and the services ---------------------------------
program="$work/program"
mkdir -p "$program"
cp "$bin/quillary.exe" "$bin/quillary-test.exe" "$bin/language.ini" "$program/"
"$root/scripts/make-sample-catalogue" "$work/sample" >/dev/null || exit 1
"$root/scripts/make-device-fixture" demo "$work/sample/catalogue.json" > "$work/demo-pc.json" || exit 1
"$wine_run" "$bin/inject_devices.exe" "$(windows_path "$work/demo-pc.json")" >/dev/null || exit 1
# The demo PC's drivers in the prefix's driver store, as Windows keeps them:
# an installation backs them up first.
python3 "$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" \
  "$("$wine_run" winepath -u 'C:\windows' 2>/dev/null)" || exit 1
"$gui/make_update_catalogue.py" "$work/demo-pc.json" "$work/updates" 3 || exit 1

service=
stop_service() {
  [ -n "$service" ] && kill "$service" 2>/dev/null && wait "$service" 2>/dev/null
  service=
}
service_ready() { [ "$(grep -c listening "$work/service.out")" = 3 ]; }
# The catalogue's packages signed as a publisher signs them, with the sample
# key the program trusts (only what is new or changed is signed again).
sign_catalogue() { "$root/scripts/sign-packages" "$1" --sample >/dev/null 2>&1; }
# The program's three server addresses: 127.0.0.1 on three ports in a row.
service_port=18081
service_listen() { echo --listen "127.0.0.1:$service_port" --listen "127.0.0.1:$((service_port + 1))" --listen "127.0.0.1:$((service_port + 2))"; }
own_ports() {  # own_ports FIRST: a test's own three ports, which the test build is told of, apart from the other tests
  service_port=$1
  export QUILLARY_TEST_SERVERS="http://127.0.0.1:$1/ http://127.0.0.1:$(($1 + 1))/ http://127.0.0.1:$(($1 + 2))/"
}
serve() {  # serve CATALOGUE [FAULT]: quillary-service on the program's three addresses
  stop_service
  sign_catalogue "$1" || { echo "$test_name: cannot sign $1"; exit 1; }
  # shellcheck disable=SC2046  # the addresses are words of their own
  "$native/quillary-service" --catalogue "$1" ${2:+--fault "$2"} $(service_listen) > "$work/service.out" 2>&1 &
  service=$!
  wait_until 20 service_ready || { echo "$test_name: quillary-service did not start"; cat "$work/service.out"; exit 1; }
}
stall() {  # stall SECONDS: a service that keeps each query waiting and never answers
  stop_service
  # shellcheck disable=SC2046
  "$gui/stalling_service.py" --hold "$1" $(service_listen) > "$work/service.out" 2>&1 &
  service=$!
  wait_until 20 service_ready || { echo "$test_name: the stalling service did not start"; cat "$work/service.out"; exit 1; }
}
connections() { grep -c connection "$work/service.out"; }
queries() { grep -c '"POST /"' "$work/service.out"; }

no_main_window() { ! probe find Quillary --class MainWindow >/dev/null 2>&1; }
start() {  # start [test] [ARG...]: the program (or its test build) from its folder, shown
  local exe=quillary.exe
  [ "${1:-}" = test ] && exe=quillary-test.exe && shift
  (cd "$program" && "$wine_run" "$exe" "$@") &
  target=$!
  main wait --timeout 60000 --visible >/dev/null
  ui_language=$(setting language)
  [ -n "$ui_language" ] || ui_language=English
  # The window must be this start's: a start that found another instance
  # still running would have handed over to it and ended.
  kill -0 "$target" 2>/dev/null || echo "$test_name: the program ended as it started (another instance still there?)"
}
ended_with=
ended() {  # the program's process has gone; its exit code in $ended_with
  [ -z "$target" ] && return 0
  kill -0 "$target" 2>/dev/null && return 1
  wait "$target"
  ended_with=$?
  target=
}
target_gone() { ! kill -0 "$target" 2>/dev/null; }
stop_program() {
  [ -z "$target" ] && return
  # On a busy machine a taskkill can come back with the program still
  # there: asked again, and at last the program's process killed outright
  # (one program of ours runs at a time: the GUI tests hold its settings).
  local attempt
  for attempt in 1 2 3; do
    "$wine_run" taskkill /f /im quillary.exe >/dev/null 2>&1
    "$wine_run" taskkill /f /im quillary-test.exe >/dev/null 2>&1
    wait_until 10 target_gone && break
  done
  target_gone || pkill -9 -f '^[^ ]*quillary(-test)?\.exe' 2>/dev/null
  wait "$target" 2>/dev/null
  target=
  # Gone only once its window is: the next start must not find it and hand
  # over to it as to a running instance.
  wait_until 30 no_main_window
}
trap 'stop_program; stop_service; cleanup' EXIT
# The program's settings, through the driver (as reg add and reg query would):
# setting NAME prints a number as 0x… and a text as it is.
settings_key='HKCU\Software\Korvane'
fresh_settings() { probe registry delete "$settings_key" >/dev/null; }
set_setting() { probe registry set "$settings_key" "$1" dword "$2" >/dev/null; }
set_setting_text() { probe registry set "$settings_key" "$1" text "$2" >/dev/null; }
setting() { probe registry get "$settings_key" "$1" 2>/dev/null; }

geometry() {  # the window's rectangle and frame thickness, as variables
  local info
  info=$(main info)
  read -r window_left window_top window_right window_bottom < <(json "$info" '" ".join(map(str, d["window"]))')
  window_width=$((window_right - window_left))
  window_height=$((window_bottom - window_top))
  frame=$(json "$info" 'd["client"][0]-d["window"][0]')
}
# The texts the running program shows. Tests name what they press in
# English; `shown PREFIXES TEXT` is that text in the program's language
# ($ui_language, read as the program starts): the text of the first key
# (starting with one of PREFIXES) whose English text it is. `language_text
# KEY` is a key's text in that language.
ui_language=English
shown() {
  if [ "$ui_language" = English ]; then echo "$2"; return; fi
  "$gui/language_text.py" "$program/language.ini" "$ui_language" --english "$1" "$2" || echo "$2"
}
language_text() { "$gui/language_text.py" "$program/language.ini" "$ui_language" --key "$1"; }

# The header's buttons and the home page's start button, found by their
# accessible names and clicked with real input:
#   nav Home|Download|Backup|Restore|Settings
#   caption Close|Maximize|Restore down|Minimize|Menu
header_button() {
  access click Quillary "$(shown 'top_ caption_' "$1")" --class MainWindow --own --role pushbutton >/dev/null
}
nav() { header_button "$1"; }
caption() { header_button "$1"; }
start_button() {
  access click Quillary "$(shown home_ "Start scan")" --class MainWindow --child-class QuillaryHomePage --visible \
    --own >/dev/null
}
# press NAME: the default action of the main window's element of that name,
# as a screen reader does it (no input).
press() { access press Quillary "$1" --class MainWindow >/dev/null; }
# menu_choose TEXT: the item of that text in the program's open menu (the
# test build answers where it is), clicked.
menu_choose() { probe menu choose "$(shown 'menu_ download_btn_' "$1")" >/dev/null; }
menu_up() { probe wait "" --class '#32768' --visible --timeout 100 >/dev/null; }
no_menu() { ! probe wait "" --class '#32768' --visible --timeout 200 >/dev/null; }
away() { main mouse move 300 300 >/dev/null; }
drag() {  # drag X Y X2 Y2: a press, a move and a release at screen points
  xdotool mousemove "$1" "$2" mousedown 1 mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2)) \
    mousemove "$3" "$4" mouseup 1
  sleep 0.5
}
shot() { import -window root "$work/$1.png" 2>/dev/null; }

source "$(dirname "${BASH_SOURCE[0]}")/tree_page_test.sh"
