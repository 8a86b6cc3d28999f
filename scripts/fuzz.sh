#!/usr/bin/env bash
# Builds the fuzz targets in build-asan/ and runs each for a bounded time from the seed corpus in
# fuzz/corpus/<target>/. Fails when any target finds a crash, a sanitizer report or a failed check;
# the input that did it is left in build-asan/fuzz-artifacts/.
#
#   scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
source "$repo_root/scripts/asan-env.sh"
seconds="${1:-60}"
targets=(state value_text process)

configure_and_build_asan "${targets[@]/#/fuzz_}"
mkdir -p "$asan_dir/fuzz-artifacts"
failed=()
for t in "${targets[@]}"; do
  # New inputs go to a corpus of the build tree's own, so later runs start where this one ended
  # and the repository's seeds stay as they are.
  corpus="$asan_dir/fuzz-corpus/$t"
  log="$asan_dir/fuzz-$t.log"
  mkdir -p "$corpus"
  echo "fuzz: $t for ${seconds}s"
  if "$asan_dir/bin/Release/fuzz_$t" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$asan_dir/fuzz-artifacts/$t-" "$corpus" "$repo_root/fuzz/corpus/$t" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log" | sed 's/^/  /'
  else
    tail -n 60 "$log"
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]} (inputs in $asan_dir/fuzz-artifacts/)" >&2
  exit 1
fi
