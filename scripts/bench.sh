#!/usr/bin/env bash
# Runs every benchmark program of the default build, one after the other.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
grep -m1 'model name' /proc/cpuinfo || true
for b in "$top"/build/bench/*/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
