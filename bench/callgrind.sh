#!/usr/bin/env bash
# Prints callgrind instructions per stereo frame for the engine alone and for the whole
# processor through its VST3 process, at the plug-in's defaults with 256-frame blocks: on noise,
# on the first part of the silent tail after it, and once the tail has decayed (idle).
# Instruction counts do not drift with machine load, unlike timings.
#   bench/callgrind.sh [build-dir] [block]
set -euo pipefail
build_dir="${1:-$(dirname "${BASH_SOURCE[0]}")/../build}"
block="${2:-256}"
driver="$build_dir/bin/Release/engine_frame_cost"
[ -x "$driver" ] || driver="$build_dir/bin/Debug/engine_frame_cost"
[ -x "$driver" ] || { echo "no engine_frame_cost in $build_dir: build the benchmarks first" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

measure() {
  local out="$work/callgrind.out" frames ir
  frames="$(valgrind --tool=callgrind --instr-atstart=no --collect-atstart=no \
    --callgrind-out-file="$out" "$driver" "$@" 2>/dev/null)"
  ir="$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out")"
  echo $(( (ir + frames / 2) / frames ))
}

printf '%-9s %-6s %9s %9s %9s %9s\n' "target" "input" "44.1kHz" "48kHz" "96kHz" "192kHz"
for target in engine processor; do
  for signal in noise tail idle; do
    row=()
    for rate in 44100 48000 96000 192000; do
      row+=("$(measure "$target" "$signal" "$rate" "$block")")
    done
    printf '%-9s %-6s %9s %9s %9s %9s\n' "$target" "$signal" "${row[@]}"
  done
done
