#!/usr/bin/env bash
# The short fuzz run for scripts/test: builds build/fuzz (clang, libFuzzer, ASan + UBSan) when
# needed, then runs every fuzz target through CTest for QS_FUZZ_SECONDS seconds each (default
# 5; the first argument overrides it), after replaying its seeds and regression inputs.
# Exit status non-zero when a build fails or any target finds something.
set -uo pipefail
cd "$(dirname "$0")/../.."
export QS_FUZZ_SECONDS=${1:-${QS_FUZZ_SECONDS:-5}}
scripts/fuzz --build || { echo "fuzz: build failed"; exit 1; }
cd build/fuzz && ctest -L '^fuzz$' -j 2 --output-on-failure --timeout 600
