#!/usr/bin/env bash
# Sets the machine up, builds the plug-in, installs it where Linux VST3 hosts look for it
# (~/.vst3, or VST3_INSTALL_DIR) and runs the SDK's validator on the installed bundle.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
configure_and_build
install_dir="${VST3_INSTALL_DIR:-$HOME/.vst3}"
rm -rf "$install_dir/Vastora.vst3"
cmake --install "$build_dir" --prefix "$install_dir" >/dev/null
echo "installed $install_dir/Vastora.vst3"
"$(validator_path)" "$install_dir/Vastora.vst3" | tail -n 3
