#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a few seconds each on its seed corpus.
# usage: scripts/fuzz.sh <build-dir> <seconds-per-target>
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-5}
top=$(cd "$(dirname "$0")/.." && pwd)
status=0
for fuzzer in "$build"/fuzz/*/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus="$top/fuzz/corpus/$name"
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
    echo "== $name (${seconds}s)"
    dict=()
    [ -f "$top/fuzz/dict/$name.dict" ] && dict=(-dict="$top/fuzz/dict/$name.dict")
    if ! "$fuzzer" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 "$work" 2>"$work.log"; then
        tail -n 60 "$work.log"
        status=1
    else
        grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$work.log" || true
    fi
    rm -rf "$work" "$work.log"
done
exit $status
