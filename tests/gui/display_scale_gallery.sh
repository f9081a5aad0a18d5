#!/usr/bin/env bash
# Screenshots of the real program at 100, 150 and 200 % display scale
# (Wine's LogPixels), for looking at: the home page in English, Japanese and
# Arabic at each (home-SCALE-CODE.png), the settings dialog and the download
# page after a scan in English at each (settings-SCALE.png,
# download-SCALE.png). The screen is large enough for a window of 200 %.
#
# usage: tests/gui/gui-run --screen 2560x1600x24 \
#          bash tests/gui/display_scale_gallery.sh WINDOWS_BIN NATIVE_BIN ART_DIR OUT_DIR
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" display_scale_gallery "$1"
native=$(cd "$2" && pwd)
art=$(cd "$3" && pwd)
out=$(mkdir -p "$4" && cd "$4" && pwd)
gui="$root/tests/gui"
test_name=display_scale_gallery
source "$gui/program_test.sh"
own_ports 18171

set_dpi() { "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
trap 'stop_program; stop_service; set_dpi 96; cleanup' EXIT
shoot() { main move 0 0 >/dev/null; away; sleep 1; import -window root -crop "$(main_size)+0+0" "$out/$1.png"; }
main_size() { geometry; echo "${window_width}x${window_height}"; }
settings_open() { probe find Settings --class '#32770' --visible >/dev/null 2>&1; }
settings_closed() { ! settings_open; }

serve "$work/updates"
for dpi in 96:100 144:150 192:200; do
  scale=${dpi##*:}
  set_dpi "${dpi%%:*}"
  for language in English:en 日本語:jp العربية:ar; do
    fresh_settings
    set_setting close_to_tray 0
    set_setting_text language "${language%%:*}"
    start test
    shoot "home-$scale-${language##*:}"
    if [ "${language##*:}" = en ]; then
      access press Quillary Settings --class MainWindow >/dev/null
      wait_until 20 settings_open
      sleep 1
      import -window root -crop "$(json "$(probe info Settings --class '#32770')" \
        '"%dx%d+%d+%d" % (d["window"][2]-d["window"][0], d["window"][3]-d["window"][1], d["window"][0], d["window"][1])')" \
        "$out/settings-$scale.png"
      probe key Settings escape --class '#32770' >/dev/null
      wait_until 10 settings_closed
      access press Quillary "Start scan" --class MainWindow >/dev/null
      wait_until 90 page_visible DownloadWindow
      sleep 2
      shoot "download-$scale"
    fi
    stop_program
  done
done
echo "display_scale_gallery: screenshots in $out"
