#!/usr/bin/env bash
# Creates the tests' private Wine prefix (once) and starts a persistent wineserver for it.
# The server and wineboot get no pipe as stdin/stdout/stderr: Wine's daemons inherit open
# descriptors, and a caller reading our output to end-of-file would otherwise never see it.
# Only the 64-bit loader is used: these machines cannot execute 32-bit code.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
server=/usr/lib/wine/wineserver64
mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1 || true
  # The registry reaches the disk when the server ends: wait for that before making the
  # server persistent, so a fresh prefix is complete.
  timeout 120 "$server" -w </dev/null >/dev/null 2>&1 || true
fi
"$server" -p </dev/null >/dev/null 2>&1 || true
/usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  echo "wine prefix not ready: $WINEPREFIX" >&2
  exit 1
fi
echo "wine prefix ready: $WINEPREFIX"
