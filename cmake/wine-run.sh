#!/bin/sh
# Runs a Windows program under wine: wine-run.sh WINEARCH WINEPREFIX PROGRAM [ARGS...]
# WINEARCH win32 runs it with 32-bit wine, win64 with wine64. A Chinese locale gives
# wine the ANSI code page 936 of the target systems; the DLL overrides keep a fresh
# prefix from asking to install Mono or Gecko.
arch=$1
prefix=$2
shift 2
WINEARCH=$arch
WINEPREFIX=$prefix
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
LC_ALL=zh_CN.UTF-8
export WINEARCH WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LC_ALL
unset DISPLAY
if [ "$arch" = win64 ]; then
  loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
  WINELOADER=$loader
  export WINELOADER
  exec "$loader" "$@"
fi
exec wine "$@"
