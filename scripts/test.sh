#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
configure_and_build
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"

# The state hand-over under ThreadSanitizer, in a build tree of its own.
"$repo_root/scripts/tsan.sh"
