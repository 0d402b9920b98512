#!/usr/bin/env bash
# Packs examples/hello into build/demo/setup.exe and runs it under Wine, so a newcomer sees
# the launcher read its payload, extract the installer's files and log what it did.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out=build/demo
mkdir -p "$out/classes"
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}" WINEDEBUG=-all

javac --release 8 -d "$out/classes" examples/hello/src/hello/Hello.java 2>/dev/null
jar cf "$out/hello.jar" -C "$out/classes" hello

# The product: the i686 stub.
build/host/mediapack build examples/hello/hello.json -o "$out/setup.exe" --stub build/win32/launcher.exe
echo "packed $out/setup.exe"
build/host/mediapack inspect "$out/setup.exe" | sed 's/^/  /'

# These machines execute no 32-bit code, so the demo runs the same installer packed onto the
# x86_64 build of the launcher. On a machine with 32-bit Wine, setup.exe runs the same way.
run="$out/setup.exe"
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 || ! /usr/lib/wine/wine cmd /c exit 0 >/dev/null 2>&1; then
  build/host/mediapack build examples/hello/hello.json -o "$out/setup-x64.exe" --stub build/win64/launcher.exe
  run="$out/setup-x64.exe"
fi
scripts/wine-up.sh >/dev/null
rm -rf "$out/tmp"; mkdir -p "$out/tmp"
echo "running $run -q under Wine (log kept in $out/tmp)"
set +e
TMP="$(scripts/wine winepath -w "$out/tmp" 2>/dev/null || echo "Z:$top/$out/tmp")" QUOLL_LOG=yes \
  scripts/wine "$run" -q demo-argument </dev/null >"$out/stdout.txt" 2>"$out/stderr.txt"
code=$?
set -e
echo "exit code: $code"
cat "$out/stdout.txt" "$out/stderr.txt"
log=$(ls -t "$out"/tmp/vnq_nlog_* 2>/dev/null | head -n 1 || true)
if [ -n "$log" ]; then
  echo "---- diagnostic log ($log) ----"
  tr -d '\r' < "$log"
fi
