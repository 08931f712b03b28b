#!/usr/bin/env bash
# Tests the end-to-end rig itself on the dialog fixture: the driver's steps against a real
# dialog and message box, screenshots and pixels, registry and shortcut reading.
#   driver_selftest.sh CASE FIXTURE.exe QSDRIVER.exe
# Cases: basic (24-bit screen: text, check box, message box answered No then Yes, registry,
# shortcut) and browse-8bit (8-bit screen: folder browser, keys, window capture, cancel).
set -uo pipefail
case_name=$1
fixture=$2
E2E_DRIVER=$3  # read by e2e_drive
# shellcheck source=../../scripts/e2e-env
. "$(dirname "$0")/../../scripts/e2e-env"

# The backdrop colour of the fixture, RGB(32, 96, 160).
backdrop="32,96,160"

case "$case_name" in
basic)
  e2e_begin driver_selftest_basic 24
  e2e_put "$fixture" 'C:\fixture\fixture.exe'
  e2e_start app 'C:\fixture\fixture.exe'

  e2e_drive \
    "waitclass:QsFixtureClass:Fixture Backdrop" \
    "wait:Fixture Settings" \
    "expect:100:Your name:" \
    "expect:103:Colour depth: 32 bits" \
    "expect:107:First line\nSecond line" \
    "expectsub:107:Second" \
    "expectexists:101:1" "expectexists:999:0" \
    "expectenabled:106:0" "expectenabled:IDOK:1" \
    "pos:108" "expectpos:108:7" \
    "set:101:Ada Lovelace" "expect:101:Ada Lovelace" \
    "expectcheck:102:0" "check:102" "expectcheck:102:1" "check:102" \
    "nowindow:Fixture question:300"

  # The dialog as it stands, from the Linux side.
  shot=$(e2e_shot settings.png)
  e2e_check "screenshot taken" test -s "$shot"
  e2e_eq "backdrop pixel" "$(e2e_pixel settings.png 5 5)" "$backdrop"
  # The dialog is centred on the 1024x768 screen: its middle is not backdrop.
  middle=$(e2e_pixel settings.png 512 384)
  e2e_check "dialog drawn over the backdrop ($middle)" test "$middle" != "$backdrop"
  # The progress bar (7 of 10) spans x 359-493 at y 468 with the fixed dialog font.
  e2e_eq "progress bar: empty part" "$(e2e_pixel settings.png 480 468)" "255,255,255"
  filled=$(e2e_pixel settings.png 380 468)
  e2e_check "progress bar: filled part ($filled)" test "$filled" != "255,255,255" -a "$filled" != "$middle"

  # Failing steps are reported, counted in the exit code, and a failed wait skips the rest
  # (the click on OK must not happen: the next run still finds the dialog without a question).
  out=$(e2e_drive_raw \
    "windows" "wait:Fixture Settings" "dump" "expect:101:Wrong" "expectsub:101:Love" \
    "click:106" "check:100x" "browse:Anything" "bogus:1" "timeout:300" \
    "wait:No Such Dialog" "click:IDOK")
  e2e_eq "driver exit code = failed steps" $? 7
  e2e_contains "driver lists windows" "$out" 'class=QsFixtureClass title="Fixture Backdrop"'
  e2e_contains "driver lists controls" "$out" 'id=101 class=Edit text="Ada Lovelace"'
  e2e_contains "driver lists check states" "$out" 'text="Remember me" check=1'
  e2e_contains "driver shows the wrong text" "$out" \
    'FAIL expect:101:Wrong: got "Ada Lovelace", want "Wrong"'
  e2e_contains "driver refuses a disabled button" "$out" 'FAIL click:106: control is disabled'
  e2e_contains "driver rejects a bad id" "$out" "FAIL check:100x: bad control id '100x'"
  e2e_contains "driver needs a tree for browse" "$out" 'FAIL browse:Anything: the current window has no tree view'
  e2e_contains "driver rejects unknown steps" "$out" 'FAIL bogus:1: unknown step'
  e2e_contains "driver bounds a wait" "$out" 'FAIL wait:No Such Dialog: no dialog "No Such Dialog" within 300 ms'
  e2e_contains "driver skips after a failed wait" "$out" 'skip click:IDOK'

  # No leaves the dialog open; the second question has the same caption, hence "gone", after
  # which the box's owner, the settings dialog, is the current window again. The three last
  # "gone" wait for the box, the dialog and the backdrop window in turn.
  e2e_drive \
    "wait:Fixture Settings" \
    "nowindow:Fixture question:200" \
    "click:IDOK" \
    "wait:Fixture question" \
    "expect:MSGTEXT:Save the settings for Ada Lovelace?" \
    "click:IDNO" "gone" \
    "expect:101:Ada Lovelace" "expectcheck:102:1" \
    "uncheck:102" "check:102" \
    "click:IDOK" \
    "wait:Fixture question" "click:IDYES" \
    "gone" "gone" "gone"

  e2e_wait app
  e2e_eq "fixture exit code" "$E2E_RC" 1
  e2e_eq "fixture output" "$(tr -d '\r' <"$(e2e_out app)")" \
    'result=saved name="Ada Lovelace" remember=1 asked=2 folder="(none)" depth=32'

  e2e_shutdown
  key='HKCU\Software\QsFixture'
  e2e_eq "registry REG_SZ" "$(e2e_reg "$key" Name)" "Ada Lovelace"
  e2e_eq "registry REG_DWORD" "$(e2e_reg "$key" remember)" 1
  e2e_eq "registry REG_EXPAND_SZ" "$(e2e_reg "$key" Home)" '%USERPROFILE%\Fixture'
  e2e_eq "registry escapes" "$(e2e_reg "$key" Greeting)" 'Grüße "x\y" Ж'
  e2e_eq "registry listing" "$(e2e_reg "$key" | sort | head -1)" 'Greeting=sz:Grüße "x\y" Ж'
  e2e_eq "registry HKLM" \
    "$(e2e_reg 'HKLM\Software\Microsoft\Windows\CurrentVersion' ProgramFilesDir)" \
    'C:\Program Files'
  e2e_reg "$key" Missing >/dev/null
  e2e_eq "registry missing value" $? 2
  e2e_reg 'HKCU\Software\NoSuchKey' Name >/dev/null
  e2e_eq "registry missing key" $? 1

  lnk='C:\users\'"$(id -un)"'\Desktop\Fixture.lnk'
  e2e_check "shortcut written" test -f "$(e2e_path "$lnk")"
  e2e_eq "shortcut fields" "$(e2e_lnk "$lnk")" "$(printf '%s\n' \
    'target=C:\fixture\fixture.exe' 'arguments=--name "Ada Lovelace"' 'workdir=C:\' \
    'icon=C:\fixture\fixture.exe' 'iconindex=1' 'description=Fixture shortcut' 'relpath=' \
    'showcmd=1')"
  e2e_eq "shortcut single field" "$(e2e_lnk "$lnk" workdir)" 'C:\'
  ;;

browse-8bit)
  e2e_begin driver_selftest_browse_8bit 8
  e2e_put "$fixture" 'C:\fixture\fixture.exe'
  e2e_start app 'C:\fixture\fixture.exe'

  e2e_drive \
    "wait:Fixture Settings" \
    "expect:103:Colour depth: 8 bits" \
    "click:104" \
    "wait:Browse for Folder" \
    "browse:My Computer/ (C:)/Program Files"

  # A missing item fails, names what is there, and leaves the selection alone.
  out=$(e2e_drive_raw "wait:Browse for Folder" "timeout:500" "browse:My Computer/ (Q:)")
  e2e_eq "driver: missing tree item fails" $? 1
  e2e_contains "driver lists the items it saw" "$out" 'no item " (Q:)"; items there: '
  e2e_contains "driver lists drive C:" "$out" '" (C:)"'

  e2e_drive \
    "wait:Browse for Folder" \
    "click:IDOK" "gone" \
    "expect:105:C:\Program Files" \
    "click:104" \
    "wait:Browse for Folder" \
    "browse:Desktop/My Computer/ (C:)/windows/system32" \
    "key:ESCAPE" "gone" \
    "expect:105:(cancelled)" \
    "set:101:Zed"

  # An 8-bit root capture shows wine's windows as black boxes: capture the dialog itself.
  shot=$(e2e_shot dialog.png "Fixture Settings")
  e2e_check "window capture taken" test -s "$shot"
  size=$("$E2E_CONVERT" "$shot" -format '%w %h' info: 2>/dev/null)
  e2e_check "window capture is the dialog, not the screen ($size)" \
    test -n "$size" -a "$size" != "1024 768"

  # Enter reaches the dialog manager and presses the default button (OK); a command posted
  # to the dialog ends it; then the program's windows are gone.
  e2e_drive \
    "wait:Fixture Settings" \
    "key:RETURN" \
    "wait:Fixture question" \
    "click:IDNO" "gone" \
    "command:IDCANCEL" "gone" "gone" \
    "nowindow:*:300"

  e2e_wait app
  e2e_eq "fixture exit code" "$E2E_RC" 2
  e2e_contains "fixture output" "$(tr -d '\r' <"$(e2e_out app)")" \
    'result=cancelled name="Zed" remember=0 asked=1 folder="C:\Program Files" depth=8'
  e2e_shutdown
  ;;

*)
  echo "unknown case: $case_name" >&2
  exit 2
  ;;
esac
e2e_end
