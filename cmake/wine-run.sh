#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine for CTest and test discovery: quiet, with no
# display, in a prefix of the build tree (WINEPREFIX overrides it) that is made
# once, under a lock, so that parallel tests never race to create it. A test
# that narrows PATH for the program still finds Wine and the shell's tools.
PATH="$PATH:/usr/bin:/bin"
: "${WINEPREFIX:=$(cd "$(dirname "$0")" && pwd)/wine}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}" DISPLAY=
unset WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    flock "$WINEPREFIX" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wineboot --init > /dev/null 2>&1; wineserver --wait'
fi
exec wine "$@"
