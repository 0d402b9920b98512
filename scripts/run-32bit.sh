#!/bin/sh
# Runs a test command that needs 32-bit Wine, or reports it skipped (exit 77, which the ctest
# entries declare as their skip code) where this machine cannot execute 32-bit code. Where the
# machine can, 32-bit Wine must be there: its absence is an install fault, not a skip.
top=$(cd "$(dirname "$0")/.." && pwd)
if ! reason=$("$top/scripts/runs-32bit.sh" 2>&1); then
  echo "SKIPPED (32-bit): $reason"
  exit 77
fi
if [ ! -x /usr/lib/wine/wine ]; then
  echo "this machine executes 32-bit code, but 32-bit Wine (wine32:i386) is not installed: run scripts/install-deps.sh" >&2
  exit 1
fi
echo "running the shipped 32-bit build under 32-bit Wine"
exec "$@"
