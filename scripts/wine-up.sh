#!/usr/bin/env bash
# Creates a private Wine prefix for the tests (once) and starts a persistent wineserver for it.
# The server and wineboot get no pipe as stdin/stdout/stderr: Wine's daemons inherit open
# descriptors, and a caller reading our output to end-of-file would otherwise never see it.
#
# Where 32-bit Wine is installed the prefix must hold the 32-bit half of the system too. A
# prefix made before wine32 was installed lacks it and 32-bit programs fail in it, so such a
# prefix is made again - but only one of ours (under build/ or made by this script), never a
# prefix of the user's that WINEPREFIX happens to name.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
server=/usr/lib/wine/wineserver64
wine="$top/scripts/wine"
ours="$WINEPREFIX/.launcher-test-prefix"
with32="$WINEPREFIX/.launcher-wine32"
mkdir -p "$(dirname "$WINEPREFIX")"

if [ -x /usr/lib/wine/wine ] && [ -f "$WINEPREFIX/system.reg" ] && [ ! -f "$with32" ]; then
  case "$WINEPREFIX/" in
    "$top"/build/*) mine=yes ;;
    *) if [ -f "$ours" ]; then mine=yes; else mine=no; fi ;;
  esac
  if [ "$mine" = yes ]; then
    echo "wine prefix $WINEPREFIX was made without 32-bit Wine: making it again"
    timeout 60 "$server" -k </dev/null >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  else
    echo "wine prefix $WINEPREFIX was made without 32-bit Wine; 32-bit programs may fail in it" >&2
  fi
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
  # The registry reaches the disk when the server ends: wait for that before making the
  # server persistent, so a fresh prefix is complete.
  timeout 120 "$server" -w </dev/null >/dev/null 2>&1 || true
  if [ -f "$WINEPREFIX/system.reg" ]; then
    touch "$ours"
    if [ -x /usr/lib/wine/wine ]; then touch "$with32"; fi
  fi
fi
"$server" -p </dev/null >/dev/null 2>&1 || true
"$wine" wineboot </dev/null >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  echo "wine prefix not ready: $WINEPREFIX" >&2
  exit 1
fi
echo "wine prefix ready: $WINEPREFIX"
