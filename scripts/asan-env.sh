# Shared by sanitize.sh and fuzz.sh: one clang build tree (build-asan/) of the SDK, VSTGUI, the
# plug-in, the tests and the fuzz targets, all under AddressSanitizer and UndefinedBehaviorSanitizer
# and instrumented for libFuzzer. Sourced after env.sh, not run.
asan_dir="${VASTORA_ASAN_DIR:-$repo_root/build-asan}"

# Any finding ends the program with a failure; only the system font library's leak is suppressed
# (scripts/lsan-suppressions.txt).
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export LSAN_OPTIONS="suppressions=$repo_root/scripts/lsan-suppressions.txt:print_suppressions=0"
if [ -x /usr/bin/llvm-symbolizer-14 ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14
fi

# Configures build-asan (the normal build's SDK set-up first) and builds the targets given, or all.
configure_and_build_asan() {
  sdk_dir="$("$repo_root/scripts/setup.sh")"
  # The validator must carry the sanitizer runtime to load the instrumented module, so the tree
  # builds its own instead of using the one beside the SDK. The module keeps its symbols (no
  # strip after linking) so that reports name the functions inside it.
  CC=clang-14 CXX=clang++-14 cmake -S "$repo_root" -B "$asan_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVST3_SDK_DIR="$sdk_dir" -DVASTORA_VALIDATOR= -DVASTORA_BUILD_BENCHMARKS=OFF -DCMAKE_STRIP=/bin/true \
    -DVASTORA_SANITIZE=address,undefined -DVASTORA_FUZZ=ON \
    "-DCMAKE_C_FLAGS=-fno-sanitize-recover=all -gline-tables-only" \
    "-DCMAKE_CXX_FLAGS=-fno-sanitize-recover=all -gline-tables-only" >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build "$asan_dir" --target "$@"
  else
    cmake --build "$asan_dir"
  fi
}
