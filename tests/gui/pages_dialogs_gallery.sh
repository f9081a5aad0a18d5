#!/usr/bin/env bash
# Screenshots of the backup and restore pages and the settings and about
# dialogs in English, Japanese and Arabic (backup-page-CODE.png, ...), and
# of the settings dialog in the other languages, for looking at them.
#
# usage: pages_dialogs_gallery.sh WINDOWS_BIN STANDIN_DIR NATIVE_BIN OUT_DIR   (inside an X display)
set -uo pipefail
export QUILLARY_GALLERY_OUT=$(mkdir -p "$4" && cd "$4" && pwd)
exec "$(dirname "${BASH_SOURCE[0]}")/backup_settings_test.sh" "$1" "$2" "$3" gallery
