#!/usr/bin/env bash
# Heartbeats that run at once or are killed leave the node-status table as it
# was before a heartbeat or as a whole heartbeat leaves it, never between, and
# the database passes PRAGMA integrity_check.
#   scripts/heartbeat-check.sh [KILLS]   (default 40)
# Uses build/cli/vxrhost (VXRHOST to override) and the sqlite3 command. With
# VXR_TEST_PG set to a PostgreSQL database URL, the same checks run against a
# schema of their own in that database too (psql needed).
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
vxrhost="${VXRHOST:-$root/build/cli/vxrhost}"
kills="${1:-40}"
stale=3000 # stale group views that the heartbeat sets offline
passed=0
failed=0
finish() {
  echo "heartbeat-check: $passed passed, $failed failed"
  exit $((failed > 0))
}
pass() { passed=$((passed + 1)); }
fail() {
  echo "FAIL: $*"
  failed=$((failed + 1))
}
if [[ ! -x "$vxrhost" ]] || ! command -v sqlite3 >/dev/null; then
  fail "needs $vxrhost (build it first) and sqlite3"
  finish
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A sample database with many stale group views online.
export VXRHOST_DB="$work/base.db"
"$vxrhost" reset-sample >/dev/null 2>&1 || { fail "reset-sample"; finish; }
sqlite3 "$work/base.db" >/dev/null <<SQL || { fail "adding stale groups"; finish; }
WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < $stale)
INSERT INTO "Q7SRV.INODESTS" (NODE, THRUNODE, ORIGINNODE, NODETYPE, Q7ONLINE, PRODUCT, VERSION,
                              HOSTCODE, AFFINITIES, HOSTLEVEL)
  SELECT printf('S%06d:RX4plex:DSGROUP', i), 'RX4plex:RX4plex:Skelvane',
         printf('S%06d:RX4plex:DSGROUP', i), 'V', 'Y', 'XR', '04.10.00', 'QJ',
         '0020000000000000000000000000000000000000000', '10' FROM c;
SQL

snapshot() { sqlite3 "$1" 'SELECT * FROM "Q7SRV.INODESTS" ORDER BY rowid' | md5sum | cut -d' ' -f1; }
integrity() { [[ "$(sqlite3 "$1" 'PRAGMA integrity_check')" == ok ]]; }
heartbeat() { "$vxrhost" heartbeat --db "$1" >"$1.out" 2>&1; }

before="$(snapshot "$work/base.db")"
cp "$work/base.db" "$work/after.db"
start=$(date +%s%N)
if heartbeat "$work/after.db"; then pass; else fail "a heartbeat on its own: $(tail -n 2 "$work/after.db.out")"; fi
took=$((($(date +%s%N) - start) / 1000000))
after="$(snapshot "$work/after.db")"
if [[ "$before" != "$after" ]] && grep -q "^offline  S000001:RX4plex:DSGROUP" "$work/after.db.out"; then
  pass
else
  fail "the heartbeat changed nothing"
fi
echo "one heartbeat: $(grep -c '^o' "$work/after.db.out") node-status updates, ${took} ms"

state_ok() { # DB WHAT
  local s
  s="$(snapshot "$1")"
  if [[ "$s" != "$before" && "$s" != "$after" ]]; then
    fail "$2: the node-status table is neither as before nor as after a heartbeat"
  elif ! integrity "$1"; then
    fail "$2: integrity_check: $(sqlite3 "$1" 'PRAGMA integrity_check' | head -n 3)"
  else
    pass
  fi
}

# Killed at random points of its run.
landed=0
for ((k = 0; k < kills; k++)); do
  db="$work/kill.db"
  rm -f "$db" "$db-journal"
  cp "$work/base.db" "$db"
  "$vxrhost" heartbeat --db "$db" >/dev/null 2>&1 &
  pid=$!
  sleep "$(awk -v r=$RANDOM -v t="$took" 'BEGIN { printf "%.3f", r / 32767 * t * 1.2 / 1000 }')"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  state_ok "$db" "heartbeat killed (try $k)"
  [[ "$(snapshot "$db")" == "$after" ]] && landed=$((landed + 1))
done
echo "killed heartbeats: $landed of $kills had landed, the others left it as before"

# Eight at once on one database: each waits for the others' transactions and
# lands whole; the table ends as after one heartbeat.
cp "$work/base.db" "$work/many.db"
pids=()
for ((i = 0; i < 8; i++)); do
  "$vxrhost" heartbeat --db "$work/many.db" >"$work/many.$i.out" 2>&1 &
  pids+=($!)
done
bad=0
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || {
    bad=$((bad + 1))
    echo "heartbeat $i: $(tail -n 2 "$work/many.$i.out")"
  }
done
if ((bad == 0)); then pass; else fail "$bad of 8 concurrent heartbeats failed"; fi
if [[ "$(snapshot "$work/many.db")" == "$after" ]]; then pass; else fail "8 heartbeats at once: not the state after a heartbeat"; fi
if integrity "$work/many.db"; then pass; else fail "8 heartbeats at once: integrity_check"; fi

# Eight at once, some killed: still before or after.
for round in 1 2 3; do
  cp "$work/base.db" "$work/mixed.db"
  pids=()
  for ((i = 0; i < 8; i++)); do
    "$vxrhost" heartbeat --db "$work/mixed.db" >/dev/null 2>&1 &
    pids+=($!)
  done
  sleep "$(awk -v r=$RANDOM -v t="$took" 'BEGIN { printf "%.3f", r / 32767 * t * 2 / 1000 }')"
  for i in 0 2 4 6; do kill -KILL "${pids[$i]}" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  state_ok "$work/mixed.db" "8 heartbeats at once, 4 killed (round $round)"
done

# A lock held elsewhere: the heartbeat gives up after its one bounded wait,
# says so, and changes nothing.
cp "$work/base.db" "$work/locked.db"
{
  echo "BEGIN IMMEDIATE;"
  sleep 6
  echo "ROLLBACK;"
} | sqlite3 "$work/locked.db" &
holder=$!
sleep 0.3
start=$(date +%s%N)
heartbeat "$work/locked.db"
rc=$?
waited=$((($(date +%s%N) - start) / 1000000))
if ((rc == 5)) && grep -q "the heartbeat was not applied" "$work/locked.db.out" && ((waited < 5500)); then
  pass
else
  fail "under a held lock: exit $rc after ${waited} ms: $(tail -n 1 "$work/locked.db.out")"
fi
wait "$holder"
state_ok "$work/locked.db" "heartbeat under a held lock"
[[ "$(snapshot "$work/locked.db")" == "$before" ]] || fail "heartbeat under a held lock was applied"

# The same on PostgreSQL: the sample with the stale groups, copied into a
# schema of its own; each try starts from that copy.
pg="${VXR_TEST_PG:-}"
[[ -n "$pg" ]] || finish
command -v psql >/dev/null || { fail "VXR_TEST_PG is set but psql is missing"; finish; }
schema="vxr_hb_$$"
case "$pg" in
  postgres*) [[ "$pg" == *\?* ]] && db="$pg&options=-csearch_path%3D$schema" || db="$pg?options=-csearch_path%3D$schema" ;;
  *) db="$pg options='-csearch_path=$schema'" ;;
esac
trap 'psql "$pg" -qc "DROP SCHEMA IF EXISTS $schema CASCADE" >/dev/null 2>&1; rm -rf "$work"' EXIT
psql "$pg" -qc "CREATE SCHEMA $schema" >/dev/null && "$vxrhost" init-db --db "$db" --sample >/dev/null || { fail "init-db on PostgreSQL"; finish; }
cols="NODE, THRUNODE, ORIGINNODE, NODETYPE, Q7ONLINE, PRODUCT, VERSION, HOSTCODE, AFFINITIES, HOSTLEVEL"
sqlite3 -csv "$work/base.db" "SELECT $cols FROM \"Q7SRV.INODESTS\" ORDER BY rowid" |
  psql "$db" -q -v ON_ERROR_STOP=1 -c "DELETE FROM \"Q7SRV.INODESTS\"" -c "\\copy \"Q7SRV.INODESTS\" ($cols) FROM STDIN WITH (FORMAT csv)" \
    -c "CREATE TABLE base_nodes AS SELECT * FROM \"Q7SRV.INODESTS\"" || { fail "loading PostgreSQL"; finish; }
psql_snapshot() { psql "$db" -Atc "SELECT $cols FROM \"Q7SRV.INODESTS\" ORDER BY vxr_row" | md5sum | cut -d' ' -f1; }
psql_reset() {
  psql "$db" -q -c "BEGIN; DELETE FROM \"Q7SRV.INODESTS\"; INSERT INTO \"Q7SRV.INODESTS\" OVERRIDING SYSTEM VALUE SELECT * FROM base_nodes; COMMIT" >/dev/null
}
pg_ok() { # WHAT
  local s
  s="$(psql_snapshot)"
  if [[ "$s" != "$pg_before" && "$s" != "$pg_after" ]]; then
    fail "PostgreSQL, $1: the node-status table is neither as before nor as after a heartbeat"
  else
    pass
  fi
}
pg_before="$(psql_snapshot)"
if "$vxrhost" heartbeat --db "$db" >"$work/pg.out" 2>&1; then pass; else fail "PostgreSQL: a heartbeat: $(tail -n 2 "$work/pg.out")"; fi
pg_after="$(psql_snapshot)"
if [[ "$pg_before" != "$pg_after" ]] && cmp -s <(grep '^o' "$work/pg.out") <(grep '^o' "$work/after.db.out"); then
  pass
else
  fail "PostgreSQL: the heartbeat did not make the updates it makes on SQLite"
fi
landed=0
for ((k = 0; k < kills / 2; k++)); do
  psql_reset
  "$vxrhost" heartbeat --db "$db" >/dev/null 2>&1 &
  pid=$!
  sleep "$(awk -v r=$RANDOM -v t="$took" 'BEGIN { printf "%.3f", r / 32767 * t * 1.5 / 1000 }')"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  pg_ok "heartbeat killed (try $k)"
  [[ "$(psql_snapshot)" == "$pg_after" ]] && landed=$((landed + 1))
done
echo "PostgreSQL, killed heartbeats: $landed of $((kills / 2)) had landed, the others left it as before"
psql_reset
pids=()
for ((i = 0; i < 8; i++)); do
  "$vxrhost" heartbeat --db "$db" >"$work/pgmany.$i.out" 2>&1 &
  pids+=($!)
done
bad=0
for p in "${pids[@]}"; do wait "$p" || bad=$((bad + 1)); done
if ((bad == 0)); then pass; else fail "PostgreSQL: $bad of 8 concurrent heartbeats failed"; fi
[[ "$(psql_snapshot)" == "$pg_after" ]] && pass || fail "PostgreSQL, 8 heartbeats at once: not the state after a heartbeat"
psql_reset
{
  echo "BEGIN; LOCK TABLE \"Q7SRV.INODESTS\" IN EXCLUSIVE MODE;"
  sleep 6
  echo "ROLLBACK;"
} | psql "$db" -q >/dev/null &
holder=$!
sleep 0.5
start=$(date +%s%N)
"$vxrhost" heartbeat --db "$db" >"$work/pglocked.out" 2>&1
rc=$?
waited=$((($(date +%s%N) - start) / 1000000))
if ((rc == 5)) && grep -q "the heartbeat was not applied" "$work/pglocked.out" && ((waited < 5500)); then
  pass
else
  fail "PostgreSQL, under a held lock: exit $rc after ${waited} ms: $(tail -n 1 "$work/pglocked.out")"
fi
wait "$holder"
[[ "$(psql_snapshot)" == "$pg_before" ]] && pass || fail "PostgreSQL: heartbeat under a held lock was applied"
finish
