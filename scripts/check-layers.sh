#!/bin/bash
# The source tree's layers, read from the #include lines: a file under src/ may include only
# headers of its own folder or of a folder ranked below it. Bottom to top:
#
#   base            error reporting, messages, exit codes, the record table, the payload
#                   format and CRC-32 (what the builder shares)
#   platform        system services: log, paths, temporary directories, text expansion,
#                   registry keys, processes, threads
#   subsystems      ui < payload < runtime < runtime_search < jvm < session; ordered among
#                   themselves too, so that no two of them depend on each other
#   app             the entry, the start-up sequence and the work sequence
#
# The builder (tools/mediapack) is a program of its own on top of the launcher's library: it
# reuses the launcher's rules (names, archive reading, where a runtime's library lies) so that
# what it writes is what the launcher accepts, but never the launcher's entry (app).
# Usage: check-layers.sh [source root]. Prints every offending line; exit 1 when there is one.
set -u
top="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$top" || exit 2

declare -A rank=(
  [base]=0 [platform]=1
  [ui]=2 [payload]=3 [runtime]=4 [runtime_search]=5 [jvm]=6 [session]=7
  [app]=8
)

status=0
while IFS= read -r -d '' file; do
  folder="${file#src/}"
  folder="${folder%%/*}"
  own="${rank[$folder]:-}"
  if [ -z "$own" ]; then
    echo "$file: folder '$folder' has no layer (add it to scripts/check-layers.sh)"
    status=1
    continue
  fi
  while IFS=: read -r line target; do
    other="${rank[$target]:-}"
    if [ -z "$other" ]; then
      echo "$file:$line: includes from '$target', which has no layer"
      status=1
    elif [ "$other" -gt "$own" ]; then
      echo "$file:$line: $folder includes $target, a higher layer"
      status=1
    fi
  done < <(grep -n -o '^#include "[a-z_0-9]*/' "$file" | sed -E 's/^([0-9]+):#include "([a-z_0-9]*)\//\1:\2/')
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.def' \) -print0 | sort -z)

while IFS= read -r hit; do
  echo "$hit: the builder includes the launcher's entry"
  status=1
done < <(grep -n -H -E '^#include "app/' tools/mediapack/*.h tools/mediapack/*.cpp 2>/dev/null)

[ "$status" -eq 0 ] && echo "layers: every #include goes to its own layer or a lower one"
exit "$status"
