#!/usr/bin/env bash
# Screenshots of the real program for looking at it: the home page in every
# language (home-CODE.png), the scan page during a query and the failure
# report after it (scan-page-CODE.png, failure-report-CODE.png) in English,
# Japanese and Arabic, the maximised window, the caption menu and the tray
# menu. Runs quillary.exe under Wine against a service that keeps the query
# waiting.
#
# usage: main_window_gallery.sh WINDOWS_BIN OUT_DIR   (inside an X display)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" main_window_gallery "$1"
out=$(mkdir -p "$2" && cd "$2" && pwd)
shoot() { main screenshot "$(windows_path "$out/$1.png")" >/dev/null; }

program="$work/program"
mkdir -p "$program"
cp "$bin/quillary.exe" "$bin/language.ini" "$program/"
"$root/scripts/make-sample-catalogue" "$work/sample" >/dev/null || exit 1
"$root/scripts/make-device-fixture" demo "$work/sample/catalogue.json" > "$work/demo-pc.json" || exit 1
"$wine_run" "$bin/inject_devices.exe" "$(windows_path "$work/demo-pc.json")" >/dev/null || exit 1
"$root/tests/gui/stalling_service.py" --hold 6 \
  --listen 127.0.0.1:18081 --listen 127.0.0.1:18082 --listen 127.0.0.1:18083 > "$work/service.out" 2>&1 &
service=$!
trap 'kill "$service" 2>/dev/null; wait "$service" 2>/dev/null; cleanup' EXIT

start_in() {  # start_in LANGUAGE: a program showing that language
  probe registry set 'HKCU\Software\Korvane' language text "$1" >/dev/null
  probe registry set 'HKCU\Software\Korvane' close_to_tray dword 0 >/dev/null
  (cd "$program" && "$wine_run" quillary.exe) &
  target=$!
  main wait --timeout 60000 --visible >/dev/null
  main mouse move 300 300 >/dev/null
  sleep 1
}
stop() {
  "$wine_run" taskkill /f /im quillary.exe >/dev/null 2>&1
  wait "$target" 2>/dev/null
  target=
}

declare -A codes=([English]=en [Deutsch]=de [Español]=es [Français]=fr [Italiano]=it [日本語]=ja
                  [简体中文]=zh-cn [繁體中文]=zh-tw [Nederlands]=nl [Português]=pt [العربية]=ar)
for language in "${!codes[@]}"; do
  code=${codes[$language]}
  start_in "$language"
  shoot "home-$code"
  if [ "$code" = en ] || [ "$code" = ja ] || [ "$code" = ar ]; then
    main mouse click 270 230 >/dev/null
    sleep 3
    shoot "scan-page-$code"
    probe wait "" --class '#32770' --visible --timeout 60000 >/dev/null
    sleep 0.5
    shoot "failure-report-$code"
    probe mouse "" click 30 10 --class '#32770' --child-id 2 >/dev/null
  fi
  stop
done

start_in English
info=$(main info)
width=$(python3 -c 'import json,sys; w=json.loads(sys.argv[1])["window"]; print(w[2]-w[0])' "$info")
main mouse click $((width - 109)) 14 --window >/dev/null
probe wait "" --class '#32768' --visible --timeout 10000 >/dev/null
sleep 0.5
import -window root "$out/caption-menu.png"
probe key "" escape --class '#32768' >/dev/null
probe mouse "Wine System Tray" right 10 10 >/dev/null
probe wait "" --class '#32768' --visible --timeout 10000 >/dev/null
sleep 0.5
import -window root "$out/tray-menu.png"
probe key "" escape --class '#32768' >/dev/null
main mouse click $((width - 49)) 14 --window >/dev/null
sleep 1
main mouse move 300 300 >/dev/null
sleep 0.5
import -window root "$out/maximised.png"
stop
echo "main_window_gallery: screenshots in $out"
