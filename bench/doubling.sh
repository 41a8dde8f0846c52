#!/usr/bin/env bash
# What doubling the rows per member costs each table: `vxrhost query TABLE
# --format csv` on a group of N and of 2N rows per member (scripts/gen-group,
# same members and key shape), RUNS paired runs, medians of the CPU time
# (user and system) and of the elapsed time.
#
#   bench/doubling.sh N.db 2N.db [RUNS]
#
# VXRHOST names the vxrhost to measure (default build-release/cli/vxrhost).
set -euo pipefail
[[ $# -ge 2 ]] || { echo "usage: doubling.sh N.db 2N.db [RUNS]" >&2; exit 2; }
source "$(dirname "${BASH_SOURCE[0]}")/bench-lib.sh"
small="$1" large="$2" runs="${3:-3}"
cpu() { /usr/bin/time -f "%e %U %S" -o "$work/t" "$vxrhost" query "$1" --db "$2" --format csv >/dev/null 2>&1
  awk '{printf "%.2f %s\n", $2 + $3, $1}' "$work/t"; }
echo "| table | N: CPU, elapsed | 2N: CPU, elapsed | 2N / N (CPU) |"
echo "|---|---:|---:|---:|"
for table in $("$vxrhost" tables | awk 'NR > 1 {print $1}'); do
  rm -f "$work/small" "$work/large"
  for ((i = 0; i < runs; i++)); do
    cpu "$table" "$small" >>"$work/small"
    cpu "$table" "$large" >>"$work/large"
  done
  s="$(cut -d' ' -f1 "$work/small" | median)" se="$(cut -d' ' -f2 "$work/small" | median)"
  l="$(cut -d' ' -f1 "$work/large" | median)" le="$(cut -d' ' -f2 "$work/large" | median)"
  awk -v t="$table" -v s="$s" -v se="$se" -v l="$l" -v le="$le" \
    'BEGIN {printf "| %s | %.2f s, %.2f s | %.2f s, %.2f s | %s |\n", t, s, se, l, le, (s > 0 ? sprintf("%.2f", l / s) : "—")}'
done
