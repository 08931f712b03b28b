#!/usr/bin/env bash
# The uninstaller end to end: the sample product is installed with the real x86_64 stub, then
# its uninstaller is started as the list of installed programs starts it (from the registry's
# UninstallString) and driven through dialogs 301 and 302; after the process and its hidden
# batch have ended nothing of the product may be left.
#   uninstaller_scenarios.sh CASE STUB.exe QSDRIVER.exe MKSETUP SAMPLE_MANIFEST
# Cases: cycle, userfile (a file of the user's own keeps its folder), cancel (Cancel, Escape and
# Enter remove nothing), folder (a stub in a folder named "Uninstall ..." runs the uninstaller),
# nonascii (an install folder named "Café Viewer": the batch must still find it).
set -uo pipefail
case_name=$1
stub=$2
E2E_DRIVER=$3
mksetup=$4
sample_manifest=$5
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/e2e-env
. "$here/../../../scripts/e2e-env"
# shellcheck source=../installer/wizard_helpers.sh
. "$here/../installer/wizard_helpers.sh"

product='Sample Viewer'
dest='C:\Program Files\Sample Viewer'
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\UnInstall\Sample Viewer'
programs='C:\users\root\AppData\Roaming\Microsoft\Windows\Start Menu\Programs'
question="Welcome to the $product uninstall program.\\n\\nThis program will remove all of the files, components and shortcuts that were installed on your computer by the $product setup program.\\n\\nIf you do not want to remove the software, then click on Cancel."
done_text="The uninstall program has successfully removed the $product 1.0 software from your computer.\\n\\nIf you would like to use this software again, you will need to run the setup program and re-install it.\\n\\nPress the OK button."

pack() {
  if ! "$mksetup" build "$sample_manifest" -o "$1" --stub "$stub" -j 1 >>"$E2E_DIR/mksetup.log" 2>&1; then
    cat "$E2E_DIR/mksetup.log"
    e2e_fail "mksetup build"
    e2e_end
  fi
}

# Installs the sample product through the wizard, without starting it afterwards.
install_product() {
  pack "$E2E_DIR/Setup.exe"
  e2e_put "$E2E_DIR/Setup.exe" 'C:\Setup.exe'
  e2e_start setup 'C:\Setup.exe'
  e2e_drive "waitclass:QuillonSetupClass:Install" "wait:Install" "expectexists:115:1" "click:6" "gone" \
    "wait:Finished" "uncheck:1001" "click:6" "gone"
  e2e_wait setup
  e2e_shutdown
  e2e_check "installed: uninstaller" test -f "$(e2e_path "$dest\\uninst.exe")"
  e2e_check "installed: a sample" test -f "$(e2e_path "$dest\\Samples\\Tower.qsv")"
}

# The uninstaller's command as the list of installed programs holds it, without its quotes.
uninstall_command() {
  e2e_reg "$key" UninstallString | sed -e 's/^"//' -e 's/"$//'
}

# A picture of one dialog (the smallest window of that caption: the full-screen window is
# called "Uninstall" too), also kept in $E2E_SHOTS when that is set.
keep_dialog() {
  shot_window "$1" "$2" small
}

# Runs the uninstaller at PATH and answers dialog 301 with STEP (click:1 removes).
run_uninstaller() {
  local path=$1 answer=$2
  e2e_start uninstall "$path"
  if [ "$answer" = "click:1" ]; then
    e2e_drive "waitclass:UnInstallProg:Uninstall" "wait:Uninstall" "expect:108:$question" "expectexists:2:1"
    keep_dialog 21-uninstall.png Uninstall
    e2e_drive "wait:Uninstall" "click:1" "gone" "wait:Finished" "expect:108:$done_text"
    keep_dialog 22-uninstall-finished.png Finished
    e2e_drive "wait:Finished" "click:1" "gone"
  else
    e2e_drive "waitclass:UnInstallProg:Uninstall" "wait:Uninstall" "expect:108:$question" "$answer" "gone"
  fi
  e2e_wait uninstall
  e2e_eq "uninstaller exit code" "$E2E_RC" 0
  e2e_shutdown  # also waits for the hidden batch
}

nothing_left() {
  local folder=$1
  e2e_check "no install folder" test ! -e "$(e2e_path "$folder")"
  e2e_check "no Start-menu folder" test ! -e "$(e2e_path "$programs\\$product")"
  e2e_check "no Desktop link" test ! -e "$(e2e_path "C:\\users\\root\\Desktop\\$product.lnk")"
  e2e_check "no Startup link" test ! -e "$(e2e_path "$programs\\StartUp\\$product.lnk")"
  e2e_eq "no uninstall key" "$(e2e_reg "$key" DisplayName)" ""
  e2e_check "no batch left" test ! -e "$(e2e_path 'C:\DelUS.bat')"
}

everything_there() {
  e2e_check "uninstaller kept" test -f "$(e2e_path "$dest\\uninst.exe")"
  e2e_check "program kept" test -f "$(e2e_path "$dest\\Viewer.exe")"
  e2e_check "Start-menu link kept" test -f "$(e2e_path "$programs\\$product\\$product.lnk")"
  e2e_eq "uninstall key kept" "$(e2e_reg "$key" DisplayName)" "$product"
}

case "$case_name" in
cycle | demo)
  e2e_begin "uninstaller_$case_name"
  install_product
  command=$(uninstall_command)
  e2e_eq "UninstallString" "$command" "$dest\\uninst.exe"
  e2e_check "Desktop link made" test -f "$(e2e_path "C:\\users\\root\\Desktop\\$product.lnk")"
  run_uninstaller "$command" click:1
  nothing_left "$dest"
  if [ "$case_name" = demo ] && [ "$E2E_FAILED" = 0 ]; then
    echo "Nothing of $product is left: no files, folders, shortcuts, uninstall entry or batch file."
  fi
  ;;
userfile)
  e2e_begin uninstaller_userfile
  install_product
  echo "my notes" >"$(e2e_path "$dest\\Samples\\my notes.txt")"
  run_uninstaller "$(uninstall_command)" click:1
  e2e_check "the user's file survives" test -f "$(e2e_path "$dest\\Samples\\my notes.txt")"
  e2e_check "the product's files are gone" test ! -e "$(e2e_path "$dest\\Samples\\Tower.qsv")"
  e2e_check "the uninstaller is gone" test ! -e "$(e2e_path "$dest\\uninst.exe")"
  e2e_eq "no uninstall key" "$(e2e_reg "$key" DisplayName)" ""
  e2e_check "no batch left" test ! -e "$(e2e_path 'C:\DelUS.bat')"
  ;;
cancel)
  e2e_begin uninstaller_cancel
  install_product
  for answer in click:2 key:ESC key:RETURN; do
    run_uninstaller "$(uninstall_command)" "$answer"
    everything_there
  done
  ;;
folder)
  # Any folder of the path counts: a copy of Setup.exe under "Uninstall Tools" is an uninstaller.
  e2e_begin uninstaller_folder
  pack "$E2E_DIR/Setup.exe"
  mkdir -p "$(e2e_path 'C:\Uninstall Tools')"
  e2e_put "$E2E_DIR/Setup.exe" 'C:\Uninstall Tools\setup.exe'
  run_uninstaller 'C:\Uninstall Tools\setup.exe' click:2
  ;;
nonascii)
  # The product folder moved to a name with a character outside ASCII: the batch is read in the
  # OEM code page and must still delete the uninstaller and remove the folder.
  e2e_begin uninstaller_nonascii
  install_product
  moved='C:\Program Files\Café Viewer'
  mv "$(e2e_path "$dest")" "$(e2e_path 'C:\Program Files')/Café Viewer"
  run_uninstaller "$moved\\uninst.exe" click:1
  nothing_left "$moved"
  ;;
*)
  echo "unknown case $case_name"
  exit 2
  ;;
esac
e2e_end
