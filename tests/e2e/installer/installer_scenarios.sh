#!/usr/bin/env bash
# The installer wizard end to end: a Setup.exe packed at test time from the sample product with
# the real x86_64 stub, run under wine64 and driven through its dialogs.
#   installer_scenarios.sh CASE STUB.exe QSDRIVER.exe MKSETUP SAMPLE_MANIFEST
# Cases: full, cancel_welcome, cancel_install, truncated, locales, damaged, lowcolour.
# Pictures (welcome.png, finish.png, ...) stay in the scenario's folder; E2E_SHOTS=DIR also
# copies them there.
set -uo pipefail
case_name=$1
stub=$2
E2E_DRIVER=$3  # read by e2e_drive
mksetup=$4
sample_manifest=$5
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/e2e-env
. "$here/../../../scripts/e2e-env"
# shellcheck source=wizard_helpers.sh
. "$here/wizard_helpers.sh"

artwork=$QS_SOURCE_ROOT/res
sample_dir=$(dirname "$sample_manifest")
dest='C:\Program Files\Sample Viewer'
welcome_text='Welcome to the Sample Viewer setup program.\n\nThis setup will install Sample Viewer V1.0 on your computer, in the following directory:'
ready_text='When you are ready to start installing the program, click Finish.'
finish_text="Setup is complete and Sample Viewer V1.0 is now installed on your computer!\\n\\nSample Viewer is accessible through the Start Menu, under Quillon.\\n\\nSome sample pictures can be found in $dest\\Samples\\n\\nClick Finish."
confirm_text='The setup is not finished! Do you really want to abort?'
truncated_text="This setup program is truncated.  It's most likely that the download wasn't fully completed.  Please get a new copy."

# --- helpers -----------------------------------------------------------------------------------

# pack MANIFEST OUT: mksetup with the stub under test; a failure ends the scenario.
pack() {
  if [ ! -x "$mksetup" ]; then
    e2e_fail "mksetup not found at $mksetup (build the native tree first)"
    e2e_end
  fi
  if ! "$mksetup" build "$1" -o "$2" --stub "$stub" -j 1 >>"$E2E_DIR/mksetup.log" 2>&1; then
    cat "$E2E_DIR/mksetup.log"
    e2e_fail "mksetup build $1"
    e2e_end
  fi
}

# A big product: several MB of compressible text in two files of the Samples folder, so that a
# Cancel lands while files are still being written.
make_big_product() {
  local dir=$E2E_DIR/big
  mkdir -p "$dir"
  "$E2E_PYTHON" - "$dir" <<'EOF'
import random, sys
r = random.Random(7)
words = ["".join(r.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(r.randint(2, 9))) for _ in range(800)]
for name in ("big1.dat", "big2.dat"):
    lines, size = [], 0
    while size < 6 * 1024 * 1024:
        line = " ".join(r.choice(words) for _ in range(12)) + "\n"
        lines.append(line)
        size += len(line)
    open(f"{sys.argv[1]}/{name}", "w").write("".join(lines))
EOF
  cat >"$dir/manifest.toml" <<EOF
[product]
name = "Big Sample"
version = "2.0"
install_folder = "Big Sample"
window_class = "QuillonSampleViewer"
samples_noun = ""
startup_args = false
desktop_shortcut = false
progress_text = "Installing %s"
[uninstaller]
name = "uninst.exe"
[[files]]
source = "$sample_dir/Viewer.exe"
[[files]]
source = "$sample_dir/files/readme.txt"
[[files]]
source = "$sample_dir/files/Viewer.hlp"
[[files]]
source = "big1.dat"
[[files]]
source = "big2.dat"
EOF
  pack "$dir/manifest.toml" "$E2E_DIR/Big.exe"
}

# --- scenarios ---------------------------------------------------------------------------------

case "$case_name" in
full)
  # Reveal, Welcome, install, finish text, the product started afterwards.
  e2e_begin installer_full 24
  pack "$sample_manifest" "$E2E_DIR/Setup.exe"
  e2e_put "$E2E_DIR/Setup.exe" 'C:\Setup.exe'
  e2e_start app 'C:\Setup.exe'
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" \
    "expectexists:115:1" "expectexists:114:1" \
    "expect:108:$welcome_text" "expect:110:$ready_text" "expect:115:$dest"
  # The backdrop after the reveal (1024 x 768): white bands, the blue band, pictures in place.
  shot_screen welcome.png
  e2e_eq "top band white" "$(e2e_pixel welcome.png 600 50)" "255,255,255"
  e2e_eq "bottom band white" "$(e2e_pixel welcome.png 500 740)" "255,255,255"
  e2e_eq "blue band" "$(e2e_pixel welcome.png 100 400)" "86,128,170"
  e2e_eq "blue band, right of the dialog" "$(e2e_pixel welcome.png 900 300)" "86,128,170"
  picture_at welcome.png "$artwork/backdrop/RERIVIRER.bmp" 10 12
  picture_at welcome.png "$artwork/backdrop/QUILLON.bmp" 10 723
  picture_at welcome.png "$artwork/backdrop/ORANGE.bmp" 804 0
  # LOGO's right 51 columns lie beyond the screen's edge.
  picture_at welcome.png "$artwork/backdrop/LOGO.bmp" 849 615 0,0,175,153
  picture_in welcome.png "$artwork/bitmaps/welcome.bmp"
  shot_window welcome-dialog.png Install small

  e2e_drive "wait:Install" "click:6" "gone" \
    "wait:Installing" "expect:105:Installing Sample Viewer" "gone" \
    "wait:Finished" "expect:108:$finish_text" "expect:1001:Run Sample Viewer" "expectcheck:1001:1"
  shot_window finish.png Finished
  picture_in finish.png "$artwork/bitmaps/welcome.bmp"
  e2e_drive "wait:Finished" "click:6" "gone" "waitclass:QuillonSampleViewer:Sample Viewer"
  e2e_wait app
  e2e_eq "setup exit code" "$E2E_RC" 0
  e2e_drive "waitclass:QuillonSampleViewer:Sample Viewer"  # still there after the setup ended
  root=$(e2e_path "$dest")
  for f in Viewer.exe readme.txt Viewer.hlp; do
    src=$sample_dir/files/$f
    [ "$f" = Viewer.exe ] && src=$sample_dir/Viewer.exe
    e2e_check "installed $f" cmp -s "$src" "$root/$f"
  done
  for f in Harbour Lantern Meadow Orchard Tower; do
    e2e_check "installed Samples\\$f.qsv" cmp -s "$sample_dir/files/samples/$f.qsv" "$root/Samples/$f.qsv"
  done
  e2e_check "uninstaller written" test -s "$root/uninst.exe"
  e2e_kill  # the product; the registry is written as the prefix stops
  e2e_eq "uninstall entry" \
    "$(e2e_reg 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\UnInstall\Sample Viewer' DisplayName)" "Sample Viewer"
  e2e_check "Start-menu shortcut" test -f "$(e2e_path "C:\\users\\$(id -un)\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Sample Viewer\\Sample Viewer.lnk")"
  ;;

cancel_welcome)
  # Browse changes the destination; Cancel answered No keeps the dialog, Esc answered Yes ends.
  e2e_begin installer_cancel_welcome 24
  pack "$sample_manifest" "$E2E_DIR/Setup.exe"
  e2e_put "$E2E_DIR/Setup.exe" 'C:\Setup.exe'
  e2e_start app 'C:\Setup.exe'
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" "expect:115:$dest" \
    "click:114" "wait:Browse for Folder" \
    "expect:14146:Setup will create a 'Sample Viewer' subdirectory within the directory you choose." \
    "browse:My Computer/ (C:)/users" "click:IDOK" "gone" \
    "expect:115:C:\\users\\Sample Viewer" \
    "click:114" "wait:Browse for Folder" "browse:My Computer/ (C:)" "click:IDOK" "gone" \
    "expect:115:C:\\Sample Viewer" \
    "click:114" "wait:Browse for Folder" "click:IDCANCEL" "gone" \
    "expect:115:C:\\Sample Viewer" \
    "click:7" "wait:Confirm" "expect:MSGTEXT:$confirm_text" "click:IDNO" "gone" \
    "expect:115:C:\\Sample Viewer" "expectexists:108:1"
  shot_window confirm-welcome.png Install small
  e2e_drive "wait:Install" "key:ESCAPE" "wait:Confirm" "expect:MSGTEXT:$confirm_text"
  shot_screen confirm.png
  e2e_drive "wait:Confirm" "click:IDYES" "gone" "gone" "nowindow:QuillonSampleViewer:1500"
  e2e_wait app
  e2e_eq "setup exit code" "$E2E_RC" 0
  nothing_installed 'C:\Sample Viewer'
  nothing_installed "$dest"
  ;;

cancel_install)
  # Cancel during the file phase: No goes on, Yes stops; the rollback leaves nothing behind.
  e2e_begin installer_cancel_install 24
  make_big_product
  e2e_put "$E2E_DIR/Big.exe" 'C:\Setup.exe'
  e2e_start app 'C:\Setup.exe'
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" "click:6" "gone" \
    "wait:Installing" "click:IDCANCEL" \
    "wait:Confirm" "expect:MSGTEXT:$confirm_text" "click:IDNO" "gone" \
    "expect:105:Installing Big Sample" "expectsub:106:C:\\Program Files\\Big Sample\\"
  shot_window progress.png Installing
  e2e_drive "wait:Installing" "click:IDCANCEL" "wait:Confirm"
  shot_screen progress-confirm.png
  pos=$(e2e_drive_raw "wait:Installing" "pos:1002" | sed -n 's/^ok *pos:1002: \([0-9]*\) (range 0-\([0-9]*\)).*/\1 \2/p')
  read -r at range <<<"${pos:-0 0}"
  e2e_check "progress bar moved, not full ($at of $range)" test "$at" -gt 0 -a "$at" -lt "$range"
  written=$(ls "$(e2e_path 'C:\Program Files\Big Sample')" 2>/dev/null | tr '\n' ' ')
  e2e_check "files were being written ($written)" test -n "$written"
  e2e_drive "wait:Confirm" "click:IDYES" "gone" "gone"
  # The rollback dialog lives for one 100-ms tick; seeing it is a bonus, not a check.
  e2e_drive_raw "timeout:1500" "wait:Installing" "text:105" >/dev/null
  e2e_drive "nowindow:Finished:1500" "nowindow:QuillonSampleViewer:1000"
  e2e_wait app
  e2e_eq "setup exit code" "$E2E_RC" 0
  nothing_installed 'C:\Program Files\Big Sample'
  e2e_check "Program Files itself stays" test -d "$(e2e_path 'C:\Program Files')"
  ;;

truncated)
  # A setup cut short: only the error box, exit code 0, nothing installed.
  e2e_begin installer_truncated 24
  pack "$sample_manifest" "$E2E_DIR/Setup.exe"
  size=$(stat -c %s "$E2E_DIR/Setup.exe")
  head -c $((size - 4000)) "$E2E_DIR/Setup.exe" >"$E2E_DIR/Cut.exe"
  e2e_put "$E2E_DIR/Cut.exe" 'C:\Setup.exe'
  e2e_start app 'C:\Setup.exe'
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" \
    "expect:MSGTEXT:$truncated_text" "expectexists:115:0"
  shot_window truncated.png Install small
  e2e_drive "wait:Install" "click:IDOK" "gone" "gone"
  e2e_wait app
  e2e_eq "setup exit code" "$E2E_RC" 0
  nothing_installed "$dest"
  ;;

locales)
  # Refused locales end at once and silently; Simplified Chinese only in UTC+6 to UTC+9.
  e2e_begin installer_locales 24
  pack "$sample_manifest" "$E2E_DIR/Setup.exe"
  e2e_put "$E2E_DIR/Setup.exe" 'C:\Setup.exe'
  # (bash itself has no such locales and says so: its warnings are dropped.)
  { LC_ALL=ru_RU.UTF-8 e2e_start ru 'C:\Setup.exe'; } 2>/dev/null
  e2e_drive "nowindow:*:2500"
  e2e_wait ru
  e2e_eq "Russian: exit code" "$E2E_RC" 0
  { LC_ALL=zh_CN.UTF-8 TZ=Asia/Shanghai e2e_start zh 'C:\Setup.exe'; } 2>/dev/null
  e2e_drive "nowindow:*:2500"
  e2e_wait zh
  e2e_eq "Chinese at UTC+8: exit code" "$E2E_RC" 0
  # The same language in UTC runs: the time zone made the difference.
  { LC_ALL=zh_CN.UTF-8 TZ=UTC e2e_start zhutc 'C:\Setup.exe'; } 2>/dev/null
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" "click:7" "wait:Confirm" "click:IDYES" "gone" "gone"
  e2e_wait zhutc
  e2e_eq "Chinese at UTC: exit code" "$E2E_RC" 0
  nothing_installed "$dest"
  ;;

damaged)
  # A damaged compressed entry: the error box names the file, then the rollback removes all.
  e2e_begin installer_damaged 24
  pack "$sample_manifest" "$E2E_DIR/Setup.exe"
  # File1 (Viewer.exe) is compressed: one byte of its stored data is flipped.
  e2e_eq "File1 damaged" "$(damage_entry "$E2E_DIR/Setup.exe" File1 "$mksetup")" "compressed"
  e2e_put "$E2E_DIR/Setup.exe" 'C:\Setup.exe'
  e2e_start app 'C:\Setup.exe'
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" "click:6" "gone" \
    "wait:Install" "expectsub:MSGTEXT:$dest\\Viewer.exe could not be written" \
    "expectsub:MSGTEXT:will now be removed"
  shot_window write-failed.png Install small
  e2e_drive "wait:Install" "click:IDOK" "gone" "nowindow:Finished:1500" "nowindow:QuillonSampleViewer:1000"
  e2e_wait app
  e2e_eq "setup exit code" "$E2E_RC" 0
  nothing_installed "$dest"
  ;;

lowcolour)
  # 8 bits per pixel: dialogs 201 and 202 with the low-colour picture; "Run" unticked.
  e2e_begin installer_lowcolour 8
  pack "$sample_manifest" "$E2E_DIR/Setup.exe"
  e2e_put "$E2E_DIR/Setup.exe" 'C:\Setup.exe'
  e2e_start app 'C:\Setup.exe'
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" \
    "expect:108:$welcome_text" "expectexists:115:0" "expectexists:114:0" "expectexists:110:0"
  shot_window welcome-low.png Install small
  picture_in welcome-low.png "$artwork/bitmaps/lowcolour.bmp"
  shot_window backdrop-low.png Install large
  band=$(e2e_pixel backdrop-low.png 100 400)
  e2e_check "low-colour band painted ($band)" test "$band" != "0,0,0" -a "$band" != "255,255,255"
  e2e_drive "wait:Install" "click:6" "gone" "wait:Installing" "gone" \
    "wait:Finished" "expect:108:$finish_text" "expect:1001:Run Sample Viewer" "expectcheck:1001:1"
  shot_window finish-low.png Finished
  picture_in finish-low.png "$artwork/bitmaps/lowcolour.bmp"
  e2e_drive "wait:Finished" "uncheck:1001" "expectcheck:1001:0" "click:6" "gone" \
    "nowindow:QuillonSampleViewer:3000"
  e2e_wait app
  e2e_eq "setup exit code" "$E2E_RC" 0
  e2e_check "installed, not started" test -s "$(e2e_path "$dest")/Viewer.exe"
  ;;

*)
  echo "unknown case: $case_name" >&2
  exit 2
  ;;
esac
e2e_end
