#!/bin/sh
# Renders the fixed cases with the Linux build's render_parity, then with the Windows build's
# under wine, and compares the two.
#   compare-with-linux.sh <linux render_parity> <windows command: emulator... render_parity.exe>
set -eu
linux_host="$1"
shift
if [ ! -x "$linux_host" ]; then
    echo "no Linux render host at $linux_host: build the Linux tree first (scripts/test.sh does)" >&2
    exit 1
fi
"$linux_host" write linux-renders.bin
exec "$@" compare linux-renders.bin
