# Shared by the build and test scripts: sets up the machine and configures the build tree.
# Sourced, not run.
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${VASTORA_BUILD_DIR:-$repo_root/build}"
build_type="${VASTORA_BUILD_TYPE:-Release}"

# The compiler cache lives outside the checkout so that fresh clones (and CI) reuse it.
export CCACHE_DIR="${CCACHE_DIR:-/var/tmp/vastora-ccache}"

configure_and_build() {
  sdk_dir="$("$repo_root/scripts/setup.sh")"
  cmake -S "$repo_root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DVST3_SDK_DIR="$sdk_dir" >/dev/null
  cmake --build "$build_dir" "$@"
}

# The SDK's validator: the one setup.sh built beside the SDK, else the build tree's own.
validator_path() {
  local prebuilt="$sdk_dir/build-validator/bin/Release/validator"
  if [ -x "$prebuilt" ]; then echo "$prebuilt"; else echo "$build_dir/bin/$build_type/validator"; fi
}
