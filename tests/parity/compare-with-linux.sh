#!/bin/sh
# Renders the fixed cases with the Linux build's render_parity, then with the Windows build's
# under wine, and compares the two.
#   compare-with-linux.sh <linux render_parity> within-120dB|exact <windows command...>
set -eu
linux_host="$1"
bound="$2"
shift 2
if [ ! -x "$linux_host" ]; then
    echo "no Linux render host at $linux_host: build the Linux tree first (scripts/test.sh does)" >&2
    exit 1
fi
"$linux_host" write linux-renders.bin
if [ "$bound" = exact ]; then
    exec "$@" compare linux-renders.bin --exact
fi
exec "$@" compare linux-renders.bin
