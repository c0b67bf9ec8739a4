#!/usr/bin/env bash
# Runs every benchmark program of a build, one after the other; a failing program does not stop
# the others, but fails the run.
# usage: scripts/bench.sh [build-dir]   (default: build, as `make bench` builds it)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
grep -m1 'model name' /proc/cpuinfo || true
date '+%Y-%m-%d %H:%M %Z'
failed=()
while IFS= read -r b; do
    echo "== $(basename "$b")"
    "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true </dev/null || failed+=("$(basename "$b")")
done < <(find "$build/bench" -type f -name 'bench_*' -perm -u+x | sort)
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
