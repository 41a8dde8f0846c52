#!/usr/bin/env bash
# Every table's `vxrhost query` rows, a heartbeat and the node-status table
# are the same on SQLite and on PostgreSQL, for the sample and for a
# generated group.
#   scripts/pg-check.sh URL   (a PostgreSQL database; each case uses a schema
#                             of its own in it, dropped at the end)
# Uses build/cli/vxrhost (VXRHOST to override), sqlite3 and psql.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
vxrhost="${VXRHOST:-$root/build/cli/vxrhost}"
export VXRHOST="$vxrhost"
url="${1:?usage: pg-check.sh URL}"
passed=0
failed=0
work="$(mktemp -d)"
schemas=()
cleanup() {
  for s in "${schemas[@]}"; do psql "$url" -qc "DROP SCHEMA IF EXISTS $s CASCADE" >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT
pass() { passed=$((passed + 1)); }
fail() {
  echo "FAIL: $*"
  failed=$((failed + 1))
}
# The URL of a new, empty schema of its own (named by the caller, so that
# the clean-up knows it).
schema_url() {
  local s="$1"
  psql "$url" -qc "CREATE SCHEMA $s" >/dev/null || return 1
  case "$url" in
    postgres*) [[ "$url" == *\?* ]] && echo "$url&options=-csearch_path%3D$s" || echo "$url?options=-csearch_path%3D$s" ;;
    *) echo "$url options='-csearch_path=$s'" ;;
  esac
}
# The answers of every table, a heartbeat and the node-status table, with
# the timing left out of the summary lines. A query's rows and its stderr
# (trace lines, summary) are kept apart: the rows are written on a thread of
# their own, so how the two would interleave in one stream is not theirs.
answers() {
  local db="$1" table
  for table in $("$vxrhost" tables --format csv | tail -n +2 | cut -d, -f1); do
    echo "== $table"
    "$vxrhost" query "$table" --db "$db" --format csv 2>"$work/stderr"
    echo "-- stderr"
    sed -E 's/, [0-9.]+ ms.*$//' "$work/stderr"
  done
  echo "== heartbeat"
  "$vxrhost" heartbeat --db "$db" 2>&1 | sed -E 's/, [0-9.]+ ms.*$//'
  echo "== nodes"
  "$vxrhost" nodes --db "$db" --format csv 2>&1
}
compare() { # NAME SQLITE PG
  answers "$2" >"$work/$1.sqlite"
  answers "$3" >"$work/$1.pg"
  if cmp -s "$work/$1.sqlite" "$work/$1.pg"; then
    echo "$1: $(grep -c '' "$work/$1.sqlite") lines the same"
    pass
  else
    fail "$1: the stores differ"
    diff "$work/$1.sqlite" "$work/$1.pg" | head -n 20
  fi
}

schemas=("vxr_check_sample_$$" "vxr_check_group_$$")
sample_pg="$(schema_url "${schemas[0]}")" || { fail "cannot create a schema in $url"; echo "pg-check: $passed passed, $failed failed"; exit 1; }
"$vxrhost" init-db --db "$work/sample.db" --sample >/dev/null || fail "init-db (SQLite)"
"$vxrhost" init-db --db "$sample_pg" --sample >/dev/null || fail "init-db (PostgreSQL)"
compare sample "$work/sample.db" "$sample_pg"

group_pg="$(schema_url "${schemas[1]}")"
"$root/scripts/gen-group" "$work/group.db" -m 6 -n 400 >/dev/null || fail "gen-group (SQLite)"
"$root/scripts/gen-group" "$group_pg" -m 6 -n 400 >/dev/null || fail "gen-group (PostgreSQL)"
compare group "$work/group.db" "$group_pg"

echo "pg-check: $passed passed, $failed failed"
exit $((failed > 0))
