#!/usr/bin/env bash
# Heartbeats that run at once or are killed leave the node-status table as it
# was before a heartbeat or as a whole heartbeat leaves it, never between, and
# the database passes PRAGMA integrity_check.
#   scripts/heartbeat-check.sh [KILLS]   (default 40)
# Uses build/cli/vxrhost (VXRHOST to override) and the sqlite3 command.
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
finish
