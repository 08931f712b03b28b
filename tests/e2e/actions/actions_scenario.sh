#!/usr/bin/env bash
# The install worker under wine, with no dialog: the probe program (actions_probe.cpp) is packed
# by mksetup as the stub of a setup of the sample product and runs the worker into
# C:\Program Files\Sample Viewer; the files, links and registry values are then checked from
# Linux.
#   actions_scenario.sh SCENARIO PROBE MKSETUP SAMPLE_DIR
# SCENARIO: install  every file, the uninstaller, each link, the uninstall entry
#           close    a running copy of the product is asked to quit before the files are written
#           damaged  a damaged compressed entry: result 3, no link, no uninstall entry
#           folders  a Start-menu subfolder, a Startup link with arguments in an expandable folder
#           nofolder no Start-menu and no Startup link (and none in the current folder) when
#                    their folders cannot be read; the rest of the install as usual
set -uo pipefail
scenario=$1
probe=$2
mksetup=$3
sample=$4
. "$(dirname "$0")/../../../scripts/e2e-env"

e2e_begin "actions_$scenario"

if [ ! -x "$mksetup" ]; then
  e2e_fail "mksetup not found at $mksetup (build the native tree first)"
  e2e_end
fi

DEST='C:\Program Files\Sample Viewer'
dest=$(e2e_path "$DEST")
user=$(id -un)
profile=$(e2e_path "C:\\users\\$user")
programs="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
startup="$programs/StartUp"
desktop="$profile/Desktop"
UNINSTALL_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\UnInstall\Sample Viewer'
SHELL_FOLDERS='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'

# The product, packed with the probe as its stub; a scenario may edit the manifest first.
product=$E2E_DIR/product
rm -rf "$product" && cp -r "$sample" "$product"
pack() {
  if ! "$mksetup" build "$product/manifest.toml" -o "$E2E_DIR/setup.exe" --stub "$probe" -j 1 >"$E2E_DIR/pack.log" 2>&1; then
    cat "$E2E_DIR/pack.log"
    e2e_fail "mksetup build"
    e2e_end
  fi
  e2e_put "$E2E_DIR/setup.exe" 'C:\setup.exe'
}

# name, source in the sample folder, folder below the destination ("" or "Samples").
FILES=(
  "Viewer.exe|Viewer.exe|"
  "readme.txt|files/readme.txt|"
  "Viewer.hlp|files/Viewer.hlp|"
  "Harbour.qsv|files/samples/Harbour.qsv|Samples"
  "Lantern.qsv|files/samples/Lantern.qsv|Samples"
  "Meadow.qsv|files/samples/Meadow.qsv|Samples"
  "Orchard.qsv|files/samples/Orchard.qsv|Samples"
  "Tower.qsv|files/samples/Tower.qsv|Samples"
)

run_install() {  # runs the probe's install and shuts the prefix down; sets E2E_RC
  e2e_start app 'C:\setup.exe' install "$DEST"
  e2e_wait app
  sed 's/^/    probe: /' "$(e2e_out app)"
}

probe_says() { grep -m1 "^$1: " "$(e2e_out app)" | sed "s/^$1: //" | tr -d '\r'; }

lnk_check() {  # lnk_check FILE TARGET ARGUMENTS ICONINDEX
  local f=$1
  if [ ! -f "$f" ]; then
    e2e_fail "link ${f#"$WINEPREFIX"/} exists"
    return
  fi
  e2e_eq "link ${f##*/}: target" "$(e2e_lnk "$f" target)" "$2"
  e2e_eq "link ${f##*/}: arguments" "$(e2e_lnk "$f" arguments)" "$3"
  e2e_eq "link ${f##*/}: icon index" "$(e2e_lnk "$f" iconindex)" "$4"
  e2e_eq "link ${f##*/}: description" "$(e2e_lnk "$f" description)" "$(basename "$f" .lnk)"
}

links_in() { (cd "$1" 2>/dev/null && find . -name '*.lnk' | sort | tr '\n' ' '); }

case "$scenario" in
  install)
    pack
    run_install
    e2e_eq "worker result" "$E2E_RC" 1
    e2e_eq "files done" "$(probe_says filesDone)" 9
    e2e_eq "uninstaller icon flag cleared" "$(probe_says uninstallerShortcut)" 0
    e2e_shutdown
    for f in "${FILES[@]}"; do
      IFS='|' read -r name source folder <<<"$f"
      placed=$dest/${folder:+$folder/}$name
      e2e_check "$name written in full at ${folder:-the destination}" cmp -s "$sample/$source" "$placed"
    done
    # The uninstaller is the stub image followed by its own archive: MAIN, then the pictures.
    uninst=$dest/uninst.exe
    stub_size=$("$mksetup" list "$E2E_DIR/setup.exe" | awk '$1 == "MAIN" { print $4 }')
    e2e_check "uninstaller starts with the stub image" cmp -s -n "$stub_size" "$E2E_DIR/setup.exe" "$uninst"
    e2e_start list 'C:\setup.exe' list "$DEST\\uninst.exe"
    e2e_wait list
    e2e_start own 'C:\setup.exe' list 'C:\setup.exe'
    e2e_wait own
    e2e_eq "uninstaller archive: MAIN and the pictures in order, same contents" \
      "$(tr -d '\r' <"$(e2e_out list)")" "$(tr -d '\r' <"$(e2e_out own)" | head -9)"
    e2e_eq "uninstaller entry names" "$(tr -d '\r' <"$(e2e_out list)" | cut -d' ' -f1 | tr '\n' ' ')" \
      "MAIN BLUE RERIVIRER LOGO QUILLON TOPSHADOW ORANGE BLUEWHITE WHITEBLUE "
    lnk_check "$programs/Sample Viewer/Uninstall Sample Viewer.lnk" "$DEST\\uninst.exe" "" 1
    e2e_eq "uninstaller link takes the uninstaller's icon" \
      "$(e2e_lnk "$programs/Sample Viewer/Uninstall Sample Viewer.lnk" icon)" "$DEST\\uninst.exe"
    lnk_check "$programs/Sample Viewer/Sample Viewer.lnk" "$DEST\\Viewer.exe" "" 0
    lnk_check "$programs/Sample Viewer/Sample Viewer Help.lnk" "$DEST\\Viewer.hlp" "" 0
    lnk_check "$desktop/Sample Viewer.lnk" "$DEST\\Viewer.exe" "" 0
    e2e_eq "Start-menu links" "$(links_in "$programs/Sample Viewer")" \
      "./Sample Viewer Help.lnk ./Sample Viewer.lnk ./Uninstall Sample Viewer.lnk "
    e2e_eq "no Startup link" "$(links_in "$startup")" ""
    e2e_eq "uninstall entry" "$(e2e_reg "$UNINSTALL_KEY" | sort | tr '\n' '|')" \
      "DisplayName=sz:Sample Viewer|Publisher=sz:Quillon Digital Media|URLInfoAbout=sz:https://www.quillon.example/|UninstallString=sz:\"$DEST\\uninst.exe\"|"
    ;;

  close)
    pack
    e2e_put "$sample/Viewer.exe" 'C:\Viewer.exe'
    e2e_start viewer 'C:\Viewer.exe'
    e2e_start wait 'C:\setup.exe' waitwindow
    e2e_wait wait
    e2e_eq "product window open" "$E2E_RC" 0
    run_install
    e2e_eq "worker result" "$E2E_RC" 1
    e2e_eq "window seen before the install" "$(probe_says "window before")" yes
    e2e_eq "window gone after the install" "$(probe_says "window after")" none
    E2E_APP_TIMEOUT=20 e2e_wait viewer
    e2e_eq "product ended by its message loop" "$E2E_RC" 0
    e2e_shutdown
    e2e_check "main program written" cmp -s "$sample/Viewer.exe" "$dest/Viewer.exe"
    ;;

  damaged)
    pack
    # Flip a byte inside the compressed data of File4 (Harbour.qsv, the first file in Samples).
    read -r offset stored < <("$mksetup" list "$E2E_DIR/setup.exe" | awk '$1 == "File4" && $2 == "compressed" { print $6, $4 }')
    if [ -z "${offset:-}" ]; then
      e2e_fail "File4 is a compressed entry"
      e2e_end
    fi
    at=$((offset + stored / 2))
    byte=$(od -An -tu1 -j "$at" -N1 "$E2E_DIR/setup.exe" | tr -d ' ')
    printf "$(printf '\\%03o' $((byte ^ 0x40)))" | dd of="$(e2e_path 'C:\setup.exe')" bs=1 seek="$at" conv=notrunc status=none
    run_install
    e2e_eq "worker result" "$E2E_RC" 3
    e2e_eq "files done: the damaged one counted" "$(probe_says filesDone)" 5
    e2e_eq "failed file named" "$(probe_says failed)" "$DEST\\Samples\\Harbour.qsv"
    e2e_eq "Cancel state untouched" "$(probe_says installStopped)" 0
    e2e_shutdown
    e2e_check "files before the damaged one written" cmp -s "$sample/files/Viewer.hlp" "$dest/Viewer.hlp"
    e2e_check "no file after the damaged one" test ! -e "$dest/Samples/Lantern.qsv"
    e2e_eq "no Start-menu link" "$(links_in "$programs")" ""
    e2e_eq "no Desktop link" "$(links_in "$desktop")" ""
    e2e_reg "$UNINSTALL_KEY" >/dev/null 2>&1
    e2e_eq "no uninstall entry (wine_reg exit code 1: no key)" "$?" 1
    ;;

  folders)
    sed -i -e 's/^start_menu_folder = .*/start_menu_folder = "Tools"/' \
      -e 's/^startup_args = .*/startup_args = "-min"/' \
      -e 's/^desktop_shortcut = .*/desktop_shortcut = 2/' "$product/manifest.toml"
    pack
    # The Startup folder as an expandable value. (Wine rewrites the Desktop value from
    # "User Shell Folders" when a program starts, so that one cannot be changed here.)
    mkdir -p "$profile/Start Up"
    "$W" reg add "$SHELL_FOLDERS" /v Startup /t REG_EXPAND_SZ /d '%USERPROFILE%\Start Up' /f >/dev/null 2>&1
    run_install
    e2e_eq "worker result" "$E2E_RC" 1
    e2e_shutdown
    e2e_eq "Startup value expandable while the worker ran" "$(e2e_reg "$SHELL_FOLDERS" Startup)" '%USERPROFILE%\Start Up'
    lnk_check "$programs/Sample Viewer/Tools/Sample Viewer.lnk" "$DEST\\Viewer.exe" "" 0
    lnk_check "$programs/Sample Viewer/Tools/Uninstall Sample Viewer.lnk" "$DEST\\uninst.exe" "" 1
    e2e_eq "Start-menu links only in the subfolder" "$(links_in "$programs/Sample Viewer")" \
      "./Tools/Sample Viewer Help.lnk ./Tools/Sample Viewer.lnk ./Tools/Uninstall Sample Viewer.lnk "
    lnk_check "$profile/Start Up/Sample Viewer.lnk" "$DEST\\Viewer.exe" "-min" 0
    e2e_eq "no link in the folder of the unexpanded text" "$(links_in "$startup")" ""
    lnk_check "$desktop/Sample Viewer.lnk" "$DEST\\Viewer.exe" "" 0
    ;;

  nofolder)
    sed -i -e 's/^startup_args = .*/startup_args = ""/' "$product/manifest.toml"
    pack
    # Neither the Start menu's nor the Startup folder's value can be read.
    "$W" reg delete "$SHELL_FOLDERS" /v Programs /f >/dev/null 2>&1
    "$W" reg delete "$SHELL_FOLDERS" /v Startup /f >/dev/null 2>&1
    run_install
    e2e_eq "worker result" "$E2E_RC" 1
    e2e_shutdown
    e2e_eq "Programs value absent while the worker ran" "$(e2e_reg "$SHELL_FOLDERS" Programs 2>/dev/null)" ""
    e2e_eq "Startup value absent while the worker ran" "$(e2e_reg "$SHELL_FOLDERS" Startup 2>/dev/null)" ""
    e2e_eq "no Start-menu or Startup link" "$(links_in "$programs")" ""
    e2e_eq "no link in the current folder or below it, outside the user's folders" \
      "$(cd "$WINEPREFIX/drive_c" && find . -name '*.lnk' -not -path './users/*')" ""
    lnk_check "$desktop/Sample Viewer.lnk" "$DEST\\Viewer.exe" "" 0
    e2e_eq "uninstall entry made" "$(e2e_reg "$UNINSTALL_KEY" DisplayName)" "Sample Viewer"
    ;;

  *)
    e2e_fail "unknown scenario $scenario"
    ;;
esac
e2e_end
