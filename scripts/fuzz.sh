#!/usr/bin/env bash
# Runs each libFuzzer target for SECONDS over its seed corpus (fuzz/corpus/<target>) plus the
# inputs earlier runs found (<build>/corpus/<target>, never the seed corpus). A crash, a leak,
# a sanitizer report, an input running over 5 s or a process above 256 MB fails the run; the
# input that did it is left as <build>/artifacts/<target>-crash-... (or leak-, timeout-, oom-).
#
#   scripts/fuzz.sh SECONDS [TARGET...]     (default: every *_fuzz program of the tree)
#   FUZZ_BUILD_DIR   the fuzz tree (default build/fuzz)
set -uo pipefail

seconds="${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}"
shift
top="$(cd "$(dirname "$0")/.." && pwd)"
tree="${FUZZ_BUILD_DIR:-$top/build/fuzz}"
case "$tree" in /*) ;; *) tree="$top/$tree" ;; esac

targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for program in "$tree"/fuzz/*_fuzz; do
    [ -x "$program" ] && targets+=("$(basename "$program" _fuzz)")
  done
fi
if [ "${#targets[@]}" -eq 0 ]; then
  echo "fuzz: no targets in $tree/fuzz (build the tree first)" >&2
  exit 1
fi

mkdir -p "$tree/artifacts" "$tree/logs" "$tree/tmp"
# AddressSanitizer keeps freed memory in quarantine, 256 MB of it by default, which alone
# would reach the memory limit over a long run: a smaller quarantine still catches use after
# free of recent allocations.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:quarantine_size_mb=32}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The launcher's diagnostic log (one open-append-close per line) and the targets' scratch
# files: in memory when the machine has /dev/shm, which makes the runs several times faster.
if scratch="$(mktemp -d /dev/shm/launcher-fuzz.XXXXXX 2>/dev/null)"; then
  trap 'rm -rf "$scratch"' EXIT
else
  scratch="$tree/tmp"
fi
export TMP="$scratch"

failed=()
for target in "${targets[@]}"; do
  program="$tree/fuzz/${target}_fuzz"
  found="$tree/corpus/$target"
  log="$tree/logs/$target.log"
  mkdir -p "$found"
  # The first corpus directory receives new inputs; the seeds are only read.
  "$program" "$found" "$top/fuzz/corpus/$target" \
    -max_total_time="$seconds" -timeout=5 -rss_limit_mb=256 -close_fd_mask=2 \
    -print_final_stats=1 -artifact_prefix="$tree/artifacts/$target-" >"$log" 2>&1
  status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  if [ "$status" -eq 0 ]; then
    printf 'fuzz: %-18s ok   %ss, %s inputs\n' "$target" "$seconds" "${runs:-?}"
  else
    printf 'fuzz: %-18s FAIL (exit %d), log %s\n' "$target" "$status" "$log"
    grep -E 'ERROR:|fuzz check failed|runtime error|Test unit written' "$log" | head -n 5 | sed 's/^/  /'
    failed+=("$target")
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
