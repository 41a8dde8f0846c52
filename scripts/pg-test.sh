#!/usr/bin/env bash
# The PostgreSQL store against a throwaway cluster (scripts/pg-cluster.sh):
# the store suite's PostgreSQL cases, two servers sharing one heartbeat
# (the server test's PostgreSQL case), the SQLite/PostgreSQL comparison of
# every table (scripts/pg-check.sh) and the heartbeat checks; the cluster is
# stopped and removed at the end, whatever happens.
#   scripts/pg-test.sh [BUILD_DIR]   (default build)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/${1:-build}"
export VXRHOST="$build/cli/vxrhost"
passed=0
failed=0
count() { # the "N passed, N failed" line of a check's output
  local line
  line="$(grep -E '^[a-z-]+: [0-9]+ passed, [0-9]+ failed$' "$1" | tail -n 1)"
  if [[ -z "$line" ]]; then
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + $(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.*passed, ([0-9]+) failed/\1/' <<<"$line")))
}
dir="$(bash "$root/scripts/pg-cluster.sh" start)" || {
  echo "pg-test: the cluster did not start"
  echo "pg-test: 0 passed, 1 failed"
  exit 1
}
trap 'bash "$root/scripts/pg-cluster.sh" stop "$dir"' EXIT
url="$(bash "$root/scripts/pg-cluster.sh" url "$dir")"
export VXR_TEST_PG="$url"
log="$(mktemp)"

gtest() { # a test binary's PostgreSQL cases; a skipped case counts as failed here
  "$1" --gtest_filter='*Postgres*' --gtest_brief=1 >"$log" 2>&1
  cat "$log"
  local ok bad skipped
  ok="$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?.*/\1/p' "$log")"
  bad="$(sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below.*/\1/p' "$log")"
  skipped="$(sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?.*/\1/p' "$log")"
  passed=$((passed + ${ok:-0}))
  failed=$((failed + ${bad:-0} + ${skipped:-0}))
  [[ -n "$ok$bad" ]] || failed=$((failed + 1))
}
gtest "$build/tests/store/test_store"
# Two servers on one database sharing the heartbeat.
gtest "$build/tests/server/server_test"

bash "$root/scripts/pg-check.sh" "$url" 2>&1 | tee "$log"
count "$log"
bash "$root/scripts/heartbeat-check.sh" 10 2>&1 | tee "$log"
count "$log"
rm -f "$log"
echo "pg-test: $passed passed, $failed failed"
exit $((failed > 0))
