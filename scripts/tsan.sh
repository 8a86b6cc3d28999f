#!/usr/bin/env bash
# Builds the state hand-over and controller tests (and only what they need) under ThreadSanitizer
# in their own tree and runs them: state loads, saves and program changes on several threads,
# while another processes, must not race.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
tsan_dir="${VASTORA_TSAN_DIR:-$repo_root/build-tsan}"
sdk_dir="$("$repo_root/scripts/setup.sh")"
cmake -S "$repo_root" -B "$tsan_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVST3_SDK_DIR="$sdk_dir" \
  -DVASTORA_SANITIZE=thread -DVASTORA_BUILD_BENCHMARKS=OFF >/dev/null
tests=(processor_handover_tests controller_tests)
cmake --build "$tsan_dir" --target "${tests[@]}"

export TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}"
for test in "${tests[@]}"; do
  test_bin="$tsan_dir/bin/Release/$test"
  if ! output="$("$test_bin" 2>&1)"; then
    # Kernels with wide mmap randomisation place mappings where this ThreadSanitizer does not
    # expect them; such a run says so before any test starts and is repeated without
    # randomisation.
    if grep -q "unexpected memory mapping" <<<"$output"; then
      setarch "$(uname -m)" -R "$test_bin"
      continue
    fi
    echo "$output"
    exit 1
  fi
  echo "$output"
done
