#!/usr/bin/env bash
# Cross-builds the plug-in for Windows x86-64 with mingw-w64 and validates it under wine:
# build-win/VST3/Release/Vastora.vst3 (Contents/x86_64-win/Vastora.vst3).
#
#   scripts/build-windows.sh          set up, build, run the SDK's validator under wine
#   scripts/build-windows.sh --test   also run the Windows tests under wine (CTest label "wine")
#
# The build tree is build-win/ (override with VASTORA_WIN_BUILD_DIR). The test comparing the
# Windows module's audio with the Linux module's needs the Linux tree (scripts/test.sh builds it
# first).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

run_tests=0
for arg in "$@"; do
  case "$arg" in
    --test) run_tests=1 ;;
    *) echo "usage: $0 [--test]" >&2; exit 2 ;;
  esac
done

win_build_dir="${VASTORA_WIN_BUILD_DIR:-$repo_root/build-win}"
sdk_dir="$("$repo_root/scripts/setup.sh" --windows)"
cmake -S "$repo_root" -B "$win_build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
  -DCMAKE_TOOLCHAIN_FILE="$repo_root/cmake/mingw-w64-x86_64.cmake" -DVST3_SDK_DIR="$sdk_dir" \
  -DVASTORA_LINUX_RENDER_HOST="$build_dir/bin/$build_type/render_parity" >/dev/null
cmake --build "$win_build_dir"

bundle="$win_build_dir/VST3/$build_type/Vastora.vst3"
echo "built $bundle"
"$win_build_dir/wine-run.sh" "$win_build_dir/bin/validator.exe" "$bundle" | tail -n 3

if [ $run_tests -eq 1 ]; then
  # Every test has a timeout of its own as well: a hung wine process must not hold CI.
  CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}" \
    ctest --test-dir "$win_build_dir" -L wine --output-on-failure --timeout 300
fi
