#!/bin/sh
# Exit status 0 when this machine can run 32-bit wine. Its loader is a 32-bit Linux
# program, which a kernel built without 32-bit support refuses at once.
loader=/usr/lib/wine/wine
[ -x "$loader" ] || exit 1
timeout 60 "$loader" --version >/dev/null 2>&1
