#!/usr/bin/env bash
# Adds up the results that `make test` left as JUnit files (ctest's and GoogleTest's) and
# prints one closing line, "tests: N passed, N failed, N skipped". The last ctest run alone
# would close the output otherwise, and on a machine without 32-bit code that run is all
# skipped entries, which reads as if nothing ran.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 RESULT.xml..." >&2; exit 2; }
passed=0 failed=0 skipped=0
attr() { # attr NAME FILE: the attribute's value on the file's outermost element, if any
  tr '\n' ' ' <"$2" | sed 's/<?[^>]*>//; s/>.*//' | grep -o "[[:space:]]$1=\"[0-9]*\"" | tr -dc 0-9 || true
}
for f in "$@"; do
  [ -s "$f" ] || { echo "test-summary: $f is missing: its run did not finish" >&2; exit 1; }
  tests=$(attr tests "$f"); fails=$(attr failures "$f"); errs=$(attr errors "$f")
  skips=$(attr skipped "$f"); disabled=$(attr disabled "$f")
  tests=${tests:-0} fails=$(( ${fails:-0} + ${errs:-0} )) skips=$(( ${skips:-0} + ${disabled:-0} ))
  passed=$(( passed + tests - fails - skips )); failed=$(( failed + fails )); skipped=$(( skipped + skips ))
done
echo "tests: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
