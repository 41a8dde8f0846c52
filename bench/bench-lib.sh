# Shared by bench/compare.sh and bench/doubling.sh (sourced): the vxrhost to
# measure, a scratch directory removed on exit, and the median of numbers.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
vxrhost="${VXRHOST:-$root/build-release/cli/vxrhost}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Median of the numbers on stdin.
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
