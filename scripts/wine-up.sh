#!/usr/bin/env bash
# Creates the tests' private Wine prefix (once) and starts a persistent wineserver for it.
# The server and wineboot get no pipe as stdin/stdout/stderr: Wine's daemons inherit open
# descriptors, and a caller reading our output to end-of-file would otherwise never see it.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"
wineserver -p </dev/null >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1 || true
fi
wineboot </dev/null >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1 || true
test -f "$WINEPREFIX/system.reg"
echo "wine prefix ready: $WINEPREFIX"
