#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test; then the state hand-over under
# ThreadSanitizer, the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and each fuzz target for a minute.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
configure_and_build
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"

"$repo_root/scripts/tsan.sh"
"$repo_root/scripts/sanitize.sh"
"$repo_root/scripts/fuzz.sh"
