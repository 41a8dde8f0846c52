#!/usr/bin/env bash
# Load check of vxrhost serve: wrk with 32 connections for 20 s against a mix
# of tables on a copy of the sample, while the heartbeat runs every second on
# its schedule and a heartbeat is also asked for every second. Passes when no
# answer is other than 2xx, wrk saw no socket error, every asked-for
# heartbeat answered 200 and the server's resident memory after the run is
# within 10% of what it was after a warm-up.
#   scripts/load-check.sh [BUILD_DIR] [SECONDS] [CONNECTIONS]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-20}"
connections="${3:-32}"
vxrhost="$build/cli/vxrhost"
passed=0
failed=0
check() {  # check NAME CONDITION-EXIT-STATUS DETAIL
  if (($2 == 0)); then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "load: FAILED $1: $3"
  fi
}
finish() {
  [[ -n "${server:-}" ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  [[ -n "${poster:-}" ]] && kill "$poster" 2>/dev/null
  rm -rf "$work"
  echo "load: $passed passed, $failed failed"
  exit $((failed > 0))
}
for tool in wrk "$vxrhost"; do
  if ! command -v "$tool" >/dev/null; then
    echo "load: $tool is missing"
    failed=1
    finish
  fi
done

work="$(mktemp -d /tmp/vxrhost-load-XXXXXX)"
VXRHOST_DB="$work/sample.db" "$vxrhost" reset-sample >/dev/null
source "$root/scripts/serve-lib.sh"
start_server "$vxrhost" "$build" "$work/sample.db" "$work"
if [[ -z "$port" ]]; then
  echo "load: the server did not start: $(cat "$work/err")"
  failed=1
  finish
fi

cat >"$work/mix.lua" <<'EOF'
local paths = {
  "/api/v1/tables/MEMBERSTATUS/rows",
  "/api/v1/tables/GROUPOBJACT/rows?IDNAME=GRPA",
  "/api/v1/tables/GROUPOBJACT/rows",
  "/api/v1/tables/GROUPTHRDACT/rows?format=csv",
  "/api/v1/tables/GROUPLOCKSTRUCT/rows",
  "/api/v1/tables/GROUPVOLUME/rows?IDNAME=GRPB",
  "/api/v1/nodes",
  "/api/v1/heartbeat",
  "/metrics",
}
local i = 0
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i])
end
EOF

rss() { awk '/^VmRSS/ {print $2}' "/proc/$server/status"; }
# A heartbeat asked for every second, over bash's own TCP.
post_heartbeats() {
  while sleep 1; do
    exec 3<>"/dev/tcp/127.0.0.1/$port" || continue
    printf 'POST /api/v1/heartbeat HTTP/1.1\r\nHost: load\r\nContent-Length: 0\r\nConnection: close\r\n\r\n' >&3
    read -r status_line <&3
    exec 3<&-
    [[ "$status_line" == *" 200 "* ]] || echo "bad heartbeat answer: $status_line" >>"$work/posts"
  done
}
post_heartbeats &
poster=$!

# The warm-up opens as many connections as the server has connection threads,
# so that every thread has served (and allocated) before the first reading.
wrk -t 2 -c 64 -d 5 -s "$work/mix.lua" "http://127.0.0.1:$port" >"$work/warmup" 2>&1
before="$(rss)"
wrk -t 2 -c "$connections" -d "$seconds" --latency -s "$work/mix.lua" \
  "http://127.0.0.1:$port" >"$work/run" 2>&1
after="$(rss)"
kill "$poster" 2>/dev/null
wait "$poster" 2>/dev/null
poster=""

grep -E "Requests/sec|Latency |99%|requests in" "$work/run" | sed 's/^/load: /'
requests="$(awk '/requests in/ {print $1}' "$work/run")"
check "requests were answered" $((${requests:-0} > 0 ? 0 : 1)) "$(cat "$work/run")"
non2xx="$(awk '/Non-2xx/ {print $NF}' "$work/run")"
check "every answer 2xx" $((${non2xx:-0} == 0 ? 0 : 1)) "$non2xx answers were not 2xx"
errors="$(grep -E "Socket errors" "$work/run")"
check "no socket errors" $([[ -z "$errors" ]] && echo 0 || echo 1) "$errors"
check "every asked-for heartbeat answered 200" $([[ -s "$work/posts" ]] && echo 1 || echo 0) \
  "$(head -3 "$work/posts" 2>/dev/null)"
growth=$(((after - before) * 100 / before))
echo "load: resident memory ${before} kB after warm-up, ${after} kB after the run (${growth}%)"
check "resident memory within 10%" $((growth <= 10 ? 0 : 1)) "grew by ${growth}%"
kill -TERM "$server"
wait "$server"
rc=$?
server=""
check "SIGTERM ends the server with 0" "$rc" "exit status $rc: $(tail -3 "$work/err")"
finish
