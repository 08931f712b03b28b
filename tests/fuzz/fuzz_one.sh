#!/usr/bin/env bash
# Runs one fuzz target: fuzz_one.sh [--fresh] BINARY TARGET WORKROOT [SECONDS]
# Replays the work corpus, the committed seeds (tests/fuzz/seeds/TARGET) and the regression
# inputs (tests/fuzz/regressions/TARGET), then fuzzes for SECONDS (default: $QS_FUZZ_SECONDS,
# else 5). New corpus entries go to WORKROOT/corpus/TARGET (emptied first with --fresh, as the
# short runs do), crash inputs to WORKROOT/artifacts/TARGET/, so nothing new lands in the source
# tree. Exit status: libFuzzer's (0 = nothing found).
set -uo pipefail
fresh=0
if [ "${1:-}" = "--fresh" ]; then
  fresh=1
  shift
fi
binary=$1
target=$2
root=$3
seconds=${4:-${QS_FUZZ_SECONDS:-5}}
here=$(cd "$(dirname "$0")" && pwd)

corpus="$root/corpus/$target"
artifacts="$root/artifacts/$target"
[ $fresh -eq 1 ] && rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"
inputs=("$corpus" "$here/seeds/$target")
[ -d "$here/regressions/$target" ] && inputs+=("$here/regressions/$target")

# Readable stack traces: the symbolizer of whichever LLVM is installed.
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ]; then
  for s in $(command -v llvm-symbolizer) /usr/lib/llvm-*/bin/llvm-symbolizer; do
    [ -x "$s" ] && export ASAN_SYMBOLIZER_PATH=$s && break
  done
fi

# -timeout: an input that takes longer than 10 s is a finding (a loop that runs on);
# -rss_limit_mb/-malloc_limit_mb: an input that makes the code allocate gigabytes is one too.
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "${inputs[@]}"
