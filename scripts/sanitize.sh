#!/usr/bin/env bash
# Builds everything (SDK and VSTGUI included) with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs the whole test suite there.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
source "$repo_root/scripts/asan-env.sh"
configure_and_build_asan
ctest --test-dir "$asan_dir" --output-on-failure -j "$(nproc)"
