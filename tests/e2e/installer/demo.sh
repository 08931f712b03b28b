#!/usr/bin/env bash
# Shows the x64 setup at work under wine64 and keeps a picture of each of its screens:
#   demo.sh SETUP-x64.exe [SCREENS_DIR]        (default build/demo/screens)
# Runs, each in its own prefix copy and X display: the whole install with the product started
# afterwards; Cancel in the Welcome dialog; a truncated copy; a copy with a damaged file (error
# box and rollback); the install on a 256-colour display. Uses the win64 build's driver and
# wine prefix and the native build's mksetup (QS_DEMO_DRIVER, QS_WINE_ROOT, QS_MKSETUP override).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

if [ "${1:-}" != --part ]; then
  setup=$(realpath "${1:?usage: demo.sh SETUP-x64.exe [SCREENS_DIR]}")
  screens=$(realpath -m "${2:-$root/build/demo/screens}")
  mkdir -p "$screens"
  rm -f "$screens"/*.png
  logs=${QS_E2E_ROOT:-$root/build/demo/e2e}
  mkdir -p "$logs"
  status=0
  for part in install cancel truncated damaged lowcolour; do
    echo "== demo: $part"
    "$0" --part "$part" "$setup" "$screens" >"$logs/demo-$part.log" 2>&1 || status=1
    grep -E '^(PASS|FAIL)|closed before' "$logs/demo-$part.log"
    sleep 1  # the last part's X server and wine server are gone for good
  done
  echo "== demo: screens in $screens"
  ls "$screens"
  exit $status
fi

part=$2
setup=$3
export E2E_SHOTS=$4
export QS_WINE_ROOT=${QS_WINE_ROOT:-$root/build/win64/wine}
export QS_E2E_ROOT=${QS_E2E_ROOT:-$root/build/demo/e2e}
E2E_DRIVER=${QS_DEMO_DRIVER:-$root/build/win64/tests/e2e/qsdriver.exe}
mksetup=${QS_MKSETUP:-$root/build/native/tools/mksetup/mksetup}
# shellcheck source=../../../scripts/e2e-env
. "$root/scripts/e2e-env"
# shellcheck source=wizard_helpers.sh
. "$here/wizard_helpers.sh"

start() {
  e2e_put "$1" 'C:\Setup.exe'
  e2e_start app 'C:\Setup.exe'
}

case "$part" in
install)
  e2e_begin demo_install 24
  start "$setup"
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install"
  shot_screen 01-backdrop-and-welcome.png
  shot_window 02-welcome.png Install
  e2e_drive "wait:Install" "click:114" "wait:Browse for Folder"
  shot_window 03-browse.png "Browse for Folder"
  grab_window 04-installing.png Installing &
  grabber=$!
  e2e_drive "wait:Browse for Folder" "click:IDCANCEL" "gone" "click:6" "gone" "wait:Finished"
  wait "$grabber" || echo "(the progress dialog closed before its picture was taken)"
  shot_window 05-finished.png Finished
  e2e_drive "wait:Finished" "click:6" "gone" "waitclass:QuillonSampleViewer:Sample Viewer"
  sleep 0.3
  shot_screen 06-product-started.png
  e2e_wait app
  e2e_eq "exit code" "$E2E_RC" 0
  e2e_kill
  ;;
cancel)
  e2e_begin demo_cancel 24
  start "$setup"
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" "click:7" "wait:Confirm"
  shot_window 07-confirm-abort.png Confirm
  e2e_drive "wait:Confirm" "click:IDYES" "gone" "gone"
  e2e_wait app
  e2e_eq "exit code" "$E2E_RC" 0
  ;;
truncated)
  e2e_begin demo_truncated 24
  size=$(stat -c %s "$setup")
  head -c $((size - 4000)) "$setup" >"$E2E_DIR/Cut.exe"
  start "$E2E_DIR/Cut.exe"
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" "expectsub:MSGTEXT:truncated"
  shot_window 08-truncated.png Install
  e2e_drive "wait:Install" "click:IDOK" "gone" "gone"
  e2e_wait app
  e2e_eq "exit code" "$E2E_RC" 0
  ;;
damaged)
  e2e_begin demo_damaged 24
  cp "$setup" "$E2E_DIR/Damaged.exe"
  e2e_eq "File1 damaged" "$(damage_entry "$E2E_DIR/Damaged.exe" File1 "$mksetup")" compressed
  start "$E2E_DIR/Damaged.exe"
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" "click:6" "gone" \
    "wait:Install" "expectsub:MSGTEXT:could not be written"
  shot_window 09-file-not-written.png Install
  grab_window 10-removing-files.png Installing 5 &
  grabber=$!
  e2e_drive "wait:Install" "click:IDOK" "gone" "gone"
  wait "$grabber" || echo "(the rollback dialog closed before its picture was taken)"
  e2e_wait app
  e2e_eq "exit code" "$E2E_RC" 0
  nothing_installed 'C:\Program Files\Sample Viewer'
  ;;
lowcolour)
  e2e_begin demo_lowcolour 8
  start "$setup"
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install"
  shot_window 11-backdrop-256-colours.png Install large
  shot_window 12-welcome-256-colours.png Install
  e2e_drive "wait:Install" "click:6" "gone" "wait:Finished"
  shot_window 13-finished-256-colours.png Finished
  e2e_drive "wait:Finished" "uncheck:1001" "click:6" "gone"
  e2e_wait app
  e2e_eq "exit code" "$E2E_RC" 0
  ;;
esac
e2e_end
