#!/usr/bin/env bash
# Fails when a launcher executable imports a DLL that a bare Windows system does not have:
# everything else (zlib, the C++ runtime, winpthread) must be linked in.
set -euo pipefail
allowed='^(kernel32|user32|advapi32|comctl32|comdlg32|shell32|ole32|msvcrt)\.dll$'
status=0
for exe in "$@"; do
  [ -f "$exe" ] || { echo "missing: $exe" >&2; status=1; continue; }
  while read -r dll; do
    if ! [[ "${dll,,}" =~ $allowed ]]; then
      echo "$exe imports $dll" >&2
      status=1
    fi
  done < <(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done
exit $status
