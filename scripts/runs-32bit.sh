#!/bin/sh
# Exits 0 when this machine executes 32-bit x86 programs, 1 (with the reason on stderr) when
# it does not. Some kernels here have their 32-bit emulation switched off, and the only sure
# test is to run one: a 96-byte i386 ELF made on the spot that calls exit(42) through int 0x80.
# `--quiet` drops the reason.
set -u
probe=$(mktemp "${TMPDIR:-/tmp}/runs32.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
{
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'          # 32-bit, little-endian
  printf '\002\000\003\000\001\000\000\000'                                  # executable, i386
  printf '\124\200\004\010\064\000\000\000\000\000\000\000'                  # entry, phoff, shoff
  printf '\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'  # one program header
  printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'  # PT_LOAD at 0x08048000
  printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000'  # 96 bytes, r-x
  printf '\270\001\000\000\000\273\052\000\000\000\315\200'                  # exit(42)
} >"$probe"
chmod 700 "$probe"
"$probe" 2>/dev/null
code=$?
if [ "$code" -eq 42 ]; then
  exit 0
fi
[ "${1:-}" = "--quiet" ] ||
  echo "this machine does not execute 32-bit x86 code (a 32-bit test program could not run: exit $code)" >&2
exit 1
