#!/usr/bin/env bash
# Runs each benchmark program 5 times in the script engine (with the editor's
# line hooks, through bench_script) and in Lua 5.4, and prints the medians of
# the CPU times in milliseconds. every_stmt_ms: the same hooks with a call
# before every statement. Usage: bench/script/compare.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
bench=$build/bin/bench_script
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
engine_median() {
  "$bench" --benchmark_filter="^$1/" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
    awk -F, '/_median"/ {printf "%.1f", $4}'
}
printf '%-10s %12s %14s %12s\n' program engine_ms every_stmt_ms lua_ms
for pair in loop:BM_IntegerLoop fib:BM_RecursiveFib30 strings:BM_BuildString sort:BM_QuickSort200k; do
  name=${pair%%:*}
  bm=${pair##*:}
  engine=$(engine_median "$bm")
  every=$(engine_median "${bm}HookEveryStatement")
  lua=$(for _ in 1 2 3 4 5; do
          /usr/bin/time -f '%U %S' lua5.4 "$here/$name.lua" 2>&1 >/dev/null |
            awk '{printf "%.1f\n", ($1 + $2) * 1000}'
        done | median)
  printf '%-10s %12s %14s %12s\n' "$name" "$engine" "$every" "$lua"
done
"$bench" --benchmark_filter='^BM_Compile5000Lines/' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep median
