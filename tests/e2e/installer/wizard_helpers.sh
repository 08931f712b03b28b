# Sourced after scripts/e2e-env by the wizard's scenarios and its demo: pictures of single
# windows (also while they are open only for a moment), artwork found pixel for pixel in a
# picture, and the check that a product folder is gone.
wizard_helpers_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export E2E_CONVERT  # find_picture.py reads pictures through it

# The visible window of this caption; with several (the backdrop "Install", the Welcome dialog
# and message boxes share it) the smallest, or the largest with "large". Empty when none.
window_by_caption() {
  local caption=$1 which=${2:-small} id best="" best_area="" WIDTH HEIGHT
  for id in $(xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
    local area=$((WIDTH * HEIGHT))
    if [ -z "$best" ] || { [ "$which" = small ] && [ "$area" -lt "$best_area" ]; } ||
      { [ "$which" = large ] && [ "$area" -gt "$best_area" ]; }; then
      best=$id
      best_area=$area
    fi
  done
  echo "$best"
}

# Copies a picture of the scenario's folder into $E2E_SHOTS, when that is set.
keep_shot() {
  if [ -n "${E2E_SHOTS:-}" ]; then
    mkdir -p "$E2E_SHOTS"
    cp "$E2E_DIR/$1" "$E2E_SHOTS/$1"
  fi
}

# shot_window FILE CAPTION [small|large]: a picture of one window (right on 8-bit displays too,
# where a capture of the whole screen shows wine's windows as black boxes).
shot_window() {
  local id
  id=$(window_by_caption "$2" "${3:-small}")
  if [ -z "$id" ]; then
    e2e_fail "picture of \"$2\": no such window"
    return 1
  fi
  timeout 20 import -window "$id" "$E2E_DIR/$1" && keep_shot "$1"
}

shot_screen() { e2e_shot "$1" >/dev/null && keep_shot "$1"; }

# grab_window FILE CAPTION [SECONDS]: waits for the window and takes its picture at once, for
# windows that are open only for a moment (run it in the background before they open).
grab_window() {
  local end=$((SECONDS + ${3:-10})) id
  while [ "$SECONDS" -lt "$end" ]; do
    id=$(window_by_caption "$2" small)
    if [ -n "$id" ]; then
      sleep 0.05  # let it paint
      timeout 5 import -window "$id" "$E2E_DIR/$1" 2>/dev/null && keep_shot "$1" && return 0
    fi
    sleep 0.02
  done
  return 1
}

# picture_at SHOT PICTURE X Y [REGION]: the artwork appears pixel for pixel at X,Y.
picture_at() {
  local out
  out=$("$E2E_PYTHON" "$wizard_helpers_dir/find_picture.py" "$E2E_DIR/$1" "$2" --at "$3,$4" ${5:+--region "$5"})
  e2e_check "$(basename "$2") at $3,$4 in $1 ($out)" test "$out" = "$3,$4"
}

# picture_in SHOT PICTURE: the artwork appears somewhere, unscaled.
picture_in() {
  local out
  out=$("$E2E_PYTHON" "$wizard_helpers_dir/find_picture.py" "$E2E_DIR/$1" "$2")
  e2e_check "$(basename "$2") shown in $1 ($out)" test "$out" != "not found"
}

# nothing_installed 'C:\folder': the folder and everything in it are gone (or never came).
nothing_installed() {
  local folder
  folder=$(e2e_path "$1")
  e2e_check "no folder $1 ($(ls -A "$folder" 2>/dev/null | tr '\n' ' '))" test ! -e "$folder"
}

# damage_entry SETUP ENTRY MKSETUP: flips one byte in the middle of a compressed entry's stored
# data. Prints the entry's kind ("compressed" when it could be damaged).
damage_entry() {
  local kind stored offset
  read -r kind stored offset < <("$3" list "$1" | awk -v e="$2" '$1 == e {print $2, $4, $6}')
  if [ "$kind" = compressed ]; then
    "$E2E_PYTHON" -c '
import sys
f = open(sys.argv[1], "r+b")
f.seek(int(sys.argv[2]))
b = f.read(1)
f.seek(int(sys.argv[2]))
f.write(bytes([b[0] ^ 0x5A]))
' "$1" $((offset + stored / 2))
  fi
  echo "$kind"
}
