#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
configure_and_build
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
# The same sources built for Windows x86-64, validated and tested under wine (CTest label
# "wine"), then the engine's realtime factor in both builds, measured one after the other.
"$repo_root/scripts/build-windows.sh" --test
"$repo_root/scripts/compare-engine-speed.sh"
