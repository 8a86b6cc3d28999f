#!/usr/bin/env bash
# Sets the machine up and builds the plug-in.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
configure_and_build
