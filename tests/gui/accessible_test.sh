#!/usr/bin/env bash
# The program as a screen reader reads it under Wine: the GUI driver, a
# second process, reads each window's accessible object and its elements
# through Active Accessibility. The header's navigation and caption buttons
# and the home page's start button carry their names in English, Japanese
# and Arabic with their roles and states; pressing a navigation button by
# its name does what its click does (the download page after a scan, a
# message box before one), and the download page's panels, choice, score
# and chart read as text.
#
# usage: accessible_test.sh WINDOWS_BIN NATIVE_BIN ART_DIR
# Needs an X display (the Windows tests run inside xvfb-run). The update
# service listens on 127.0.0.1:18091-18093, which the test build of the
# program is told through QUILLARY_TEST_SERVERS.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" accessible_test "$1"
native=$(cd "$2" && pwd)
art=$(cd "$3" && pwd)
gui="$root/tests/gui"
test_name=accessible_test
source "$gui/program_test.sh"

own_ports 18091

elements() { access list Quillary --class MainWindow > "$work/elements.txt"; }
# element CLASS ROLE NAME: the line of that element, if it is there
has_element() {
  awk -F'\t' -v c="$1" -v r="$2" -v n="$3" '$1 == c && $3 == r && $5 == n {found = 1} END {exit !found}' \
    "$work/elements.txt"
}
state_of() {  # state_of NAME: the state bits (hex) of the first element of that name
  awk -F'\t' -v n="$1" '$5 == n {print $4; exit}' "$work/elements.txt"
}
value_of() { awk -F'\t' -v n="$1" '$5 == n {print $6; exit}' "$work/elements.txt"; }
has_bits() { (( (0x$1 & $2) == $2 )); }  # has_bits HEX MASK
has_no_bits() { (( (0x$1 & $2) == 0 )); }

text() { language_text "$1"; }  # text KEY: the key's text in the program's language

# The names in one language (the codes of language.ini's sections), as the
# program's language.ini has them.
check_language() {  # check_language SECTION
  local section=$1
  stop_program
  set_setting_text language "$section"
  start test
  wait_until 20 access wait Quillary "$(text home_start_scan)" --class MainWindow --timeout 1000
  elements
  check "$section: the window's own element is named Quillary" has_element MainWindow client Quillary
  local key
  for key in top_home top_download top_backup top_restore top_settings; do
    check "$section: the navigation button $key is a push button named \"$(text $key)\"" \
      has_element MainWindow pushbutton "$(text $key)"
  done
  for key in caption_close caption_maximise caption_minimise caption_menu; do
    check "$section: the caption button $key is a push button named \"$(text $key)\"" \
      has_element MainWindow pushbutton "$(text $key)"
  done
  check "$section: the logo is a link named \"$(text about_information)\"" \
    has_element MainWindow link "$(text about_information)"
  check "$section: the home page is a pane named \"$(text home_scan_for_driver_updates)\"" \
    has_element QuillaryHomePage pane "$(text home_scan_for_driver_updates)"
  check "$section: the start button is a push button named \"$(text home_start_scan)\"" \
    has_element QuillaryHomePage pushbutton "$(text home_start_scan)"
  check "$section: ... focusable" has_bits "$(state_of "$(text home_start_scan)")" 0x100000
  check "$section: the side bar's heading reads \"$(text sidebar_system_info)\"" \
    has_element QuillaryHomePage text "$(text sidebar_system_info)"
  check "$section: the English name is not used" \
    bash -c '[ "$1" = English ] || ! awk -F"\t" "\$5 == \"Start scan\"" "$2" | grep -q .' _ "$section" "$work/elements.txt"
}

# english_names SECTION FILE: the names in FILE (elements, as listed) that
# are the English text of a key whose SECTION text differs.
english_names() { "$gui/language_text.py" "$program/language.ini" "$1" --english-names "$2"; }
no_english_names() { [ "$1" = English ] || [ -z "$(english_names "$1" "$work/elements.txt")" ]; }
dialog_elements() { access list "$1" --class '#32770' > "$work/elements.txt"; }
gone_dialog() { ! probe find "$1" --class '#32770' --visible >/dev/null 2>&1; }

# The pages after a scan and the dialogs, in one language: each read by
# its name, its buttons by theirs, and pressed through their default
# actions as a screen reader presses them.
check_pages_and_dialogs() {  # check_pages_and_dialogs SECTION (the program running in it)
  local section=$1 title
  press "$(text home_start_scan)"
  check "$section: Start scan pressed by name leads to the download page" wait_until 90 page_visible DownloadWindow

  press "$(text top_backup)"
  check "$section: the backup page's button is a push button named \"$(text btn_backup)\"" \
    access wait Quillary "$(text btn_backup)" --class MainWindow --child-class BackupWindow --role pushbutton
  access press Quillary "$(text btn_backup)" --class MainWindow --child-class BackupWindow >/dev/null
  check "$section: ... pressed with nothing ticked, it says backup_no_driver" \
    access wait '*' "$(text backup_no_driver)" --class '#32770' --role text
  access press '*' "$(text btn_ok)" --class '#32770' --role pushbutton >/dev/null
  check "$section: ... and the box's OK, pressed by name, closes it" wait_until 10 no_box

  press "$(text top_restore)"
  check "$section: the restore page with no backups says restore_no_backup" \
    access wait '*' "$(text restore_no_backup)" --class '#32770' --role text
  access press '*' "$(text btn_ok)" --class '#32770' --role pushbutton >/dev/null
  wait_until 10 no_box
  check "$section: ... and its button is a push button named \"$(text btn_restore)\"" \
    access wait Quillary "$(text btn_restore)" --class MainWindow --child-class RestoreWindow --role pushbutton

  title=$(text top_settings)
  press "$title"
  check "$section: the settings dialog is a dialog named \"$title\"" \
    access wait "$title" "$title" --class '#32770' --role dialog
  dialog_elements "$title"
  check "$section: ... its caption's close button is named \"$(text caption_close)\"" \
    has_element '#32770' pushbutton "$(text caption_close)"
  check "$section: ... and no element of it is named in English" no_english_names "$section"
  access press "$title" "$(text caption_close)" --class '#32770' --own >/dev/null
  check "$section: ... pressing its close button by name closes it" wait_until 10 gone_dialog "$title"

  title=$(text menu_about)
  caption Menu
  menu_choose About
  check "$section: the about dialog is a dialog named \"$title\"" \
    access wait "$title" "$title" --class '#32770' --role dialog
  dialog_elements "$title"
  check "$section: ... its close button is named \"$(text about_btn_bk)\"" \
    has_element Button pushbutton "$(text about_btn_bk)"
  check "$section: ... and no element of it is named in English" no_english_names "$section"
  access press "$title" "$(text about_btn_bk)" --class '#32770' --role pushbutton >/dev/null
  check "$section: ... pressing it by name closes the dialog" wait_until 10 gone_dialog "$title"

  title=$(text device_detail_driver_information)
  press "$(text top_download)"
  wait_until 10 page_visible DownloadWindow
  access click Quillary '*' --class MainWindow --role listitem --right >/dev/null
  menu_choose Details
  check "$section: a panel's Details opens a dialog named \"$title\"" \
    access wait "$title" "$title" --class '#32770' --role dialog
  dialog_elements "$title"
  check "$section: ... and no element of it is named in English" no_english_names "$section"
  access press "$title" "$(text caption_close)" --class '#32770' --own >/dev/null
  check "$section: ... its caption's close button, pressed by name, closes it" wait_until 10 gone_dialog "$title"
}

fresh_settings
serve "$work/updates"
for language in English 日本語 العربية; do
  check_language "$language"
  check_pages_and_dialogs "$language"
done

# --- pressing by name --------------------------------------------------------
stop_program
set_setting_text language English
start test
wait_until 20 access wait Quillary "Start scan" --class MainWindow --timeout 1000
elements
check "the maximise button is not pressed" has_no_bits "$(state_of Maximize)" 0x8
check "the home page's start button is where the home page shows it" \
  bash -c 'awk -F"\t" "\$5 == \"Start scan\"" "$1" | grep -q QuillaryHomePage' _ "$work/elements.txt"

press_download() { access press Quillary Download --class MainWindow --role pushbutton >/dev/null; }
press_download
check "pressing Download by its name before a scan asks for one, as a click does" wait_until 10 box_up
check "... with home_download_msg" test "$(box_text)" = "Please scan your computer first to find driver updates."
box_elements() { access list '*' --class '#32770' > "$work/elements.txt"; }
box_elements
check "... whose text reads aloud" has_element '#32770' text "Please scan your computer first to find driver updates."
check "... and whose OK button is a push button named OK" has_element Button pushbutton OK
check "... and whose caption button is named Close" has_element '#32770' pushbutton Close
access press '*' OK --class '#32770' >/dev/null
check "pressing OK by its name closes the box" wait_until 10 no_box
check "... and the home page stays" page_visible QuillaryHomePage

press "Start scan"
check "pressing Start scan by its name scans and leads to the download page" wait_until 90 page_visible DownloadWindow
press Home
check "pressing Home by its name shows the home page" wait_until 10 page_visible QuillaryHomePage
press_download
check "pressing Download by its name opens the download page after results" wait_until 10 page_visible DownloadWindow
check "... asking nothing" no_box

# --- the download page read aloud ----------------------------------------------
wait_until 10 access wait Quillary "Best match" --class MainWindow --timeout 1000
elements
check "the choice of offers: Best match is a checked radio button" has_element DownloadWindow radiobutton "Best match"
check "... checked" has_bits "$(state_of "Best match")" 0x10
check "... and Latest is not" has_no_bits "$(state_of Latest)" 0x10
check "the chart reads its figures as text" \
  bash -c 'awk -F"\t" "\$3 == \"chart\" {print \$5}" "$1" | grep -Eq "^Driver score [0-9]+; Out of date: [0-9]+, No driver: [0-9]+, Up to date: [0-9]+$"' _ "$work/elements.txt"
check "the download-all bar's button is named Download all" has_element DownloadAllWindow pushbutton "Download all"
panels=$(awk -F'\t' '$3 == "listitem"' "$work/elements.txt" | wc -l)
check "each offered package is a list item (3 out of date: $panels)" test "$panels" -ge 3
check "... whose value says its date and state" \
  bash -c 'awk -F"\t" "\$3 == \"listitem\" {print \$6}" "$1" | grep -q "Installed driver date"' _ "$work/elements.txt"
check "... with an action button named Download" \
  bash -c 'awk -F"\t" "\$3 == \"pushbutton\" && \$5 == \"Download\" && \$1 != \"MainWindow\"" "$1" | grep -q .' _ "$work/elements.txt"
check "... and a check box" bash -c 'awk -F"\t" "\$3 == \"checkbutton\"" "$1" | grep -q .' _ "$work/elements.txt"
latest_checked() { elements && has_bits "$(state_of Latest)" 0x10; }
press Latest
check "pressing Latest by its name chooses the latest offers" wait_until 10 latest_checked

# --- the window's end: a client keeps its object ---------------------------------
stop_program
report_checks accessible_test
