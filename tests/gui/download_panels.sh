# The download page's panels, for the GUI tests that source this after
# program_test.sh, with $downloads (the program's download folder) set and
# the served catalogue in $work/mixed: a package's link and file, its panel
# and the panel's elements by name, scrolling a panel into sight, and a scan
# from the home page to the download page.
# Where the service's links point: its own address (the program's first
# server, unless a section puts something in between).
package_base=http://127.0.0.1:18081/
link_of() { echo "${package_base}packages/$1"; }
file_of() {  # file_of PACKAGE: the package's complete file in the download folder
  local digest
  digest=$(printf %s "$(link_of "$1")" | md5sum | cut -c1-32)
  echo "$downloads/$digest.zip"
}
panel() {  # panel PACKAGE COMMAND ARG...: a probe command on the package's panel
  local package=$1 command=$2
  shift 2
  probe "$command" Quillary "$@" --class MainWindow --child-text "$(link_of "$package")"
}
# The panel's tint: a page shows before its panels are all painted, so a
# check waits on this, which reads the pixel again on each try.
panel_colour_is() {  # panel_colour_is PACKAGE #RRGGBB
  [ "$(panel "$1" pixel 6 30)" = "$2" ]
}
panel_rect() {  # the panel's client rectangle on the screen: left top right bottom
  json "$(panel "$1" info)" '" ".join(map(str, d["client"]))'
}
list_rect() { json "$(main info --child-class PanelList)" '" ".join(map(str, d["client"]))'; }
reveal() {  # reveal PACKAGE: scroll the list with the wheel until the whole panel shows
  local left top right bottom list_left list_top list_right list_bottom
  for _ in $(seq 60); do
    read -r left top right bottom < <(panel_rect "$1")
    read -r list_left list_top list_right list_bottom < <(list_rect)
    if [ "$top" -lt "$list_top" ]; then
      main mouse wheel 100 30 --child-class PanelList --delta 1 >/dev/null
    elif [ "$bottom" -gt "$list_bottom" ]; then
      main mouse wheel 100 30 --child-class PanelList --delta -1 >/dev/null
    else
      return 0
    fi
  done
  return 1
}
panel_access() {  # panel_access SUB NAME ARG...: an access command on the package's panel's own elements
  local package=$1 sub=$2 name=$3
  shift 3
  access "$sub" Quillary "$name" --class MainWindow --child-text "$(link_of "$package")" --own "$@"
}
action() {  # action PACKAGE: a click on the panel's action button, whatever it reads now
  reveal "$1" || return 1
  panel_access "$1" click '*' --role pushbutton >/dev/null
}
context_menu() {  # context_menu PACKAGE: a right click on the panel
  reveal "$1" || return 1
  panel_access "$1" click '*' --role listitem --right >/dev/null
  wait_until 5 menu_up
}
# bar_click NAME: a click on the download-all bar's box or button of that (English) name
bar_click() { access click Quillary "$(shown download_all_ "$1")" --class MainWindow --child-class DownloadAllWindow --own >/dev/null; }
scan() {  # scan: from the home page to the download page
  nav Home
  wait_until 10 page_visible QuillaryHomePage
  start_button
  wait_until 120 page_visible DownloadWindow
}
state_file() {  # state_file PACKAGE: none, partial or complete
  local file
  file=$(file_of "$1")
  if [ -f "$file" ]; then echo complete; elif [ -f "$file.tmp" ]; then echo partial; else echo none; fi
}
is_state() { [ "$(state_file "$1")" = "$2" ]; }
same_as_served() { cmp -s "$(file_of "$1")" "$work/mixed/$1"; }
partial_size() { stat -c %s "$(file_of "$1").tmp" 2>/dev/null || echo 0; }
stands_still() {  # the partial file is there and does not grow for a second
  is_state "$1" partial || return 1
  local before
  before=$(partial_size "$1")
  sleep 1
  [ "$(partial_size "$1")" = "$before" ]
}
