#!/usr/bin/env bash
# Measures the reverb engine's realtime factor in the Linux build and in the Windows build under
# wine, one right after the other, and prints both and their ratio. A measurement, not a test: it
# fails only when a build is missing, never on the figures.
#
#   scripts/compare-engine-speed.sh [seconds of audio per run, default 20]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
win_build_dir="${VASTORA_WIN_BUILD_DIR:-$repo_root/build-win}"
seconds="${1:-20}"

linux=$("$build_dir/bin/$build_type/engine_speed" "$seconds")
windows=$("$win_build_dir/wine-run.sh" "$win_build_dir/bin/engine_speed.exe" "$seconds")
echo "engine, Linux build:             $linux"
echo "engine, Windows build under wine: $windows"
awk -v l="$linux" -v w="$windows" 'BEGIN {
  split(l, a, " "); split(w, b, " ");
  printf "Linux realtime factor / Windows realtime factor: %.2f\n", a[4] / b[4]
}'
