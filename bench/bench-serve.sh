#!/usr/bin/env bash
# Throughput and latency of vxrhost serve with wrk at 1, 8 and 32
# connections, the heartbeat running every second: MEMBERSTATUS and
# GROUPOBJACT on the sample; then one GROUPOBJACT answer of a generated
# 32 x 20,000 group (--shared: 640,000 member rows merged into 20,000)
# streamed over HTTP against `vxrhost query --format json` for the same rows
# (one such answer takes seconds, too long for wrk's windows). Prints Markdown
# rows for bench/README.md.
#   bench/bench-serve.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-release}"
seconds="${2:-10}"
vxrhost="$build/cli/vxrhost"
work="$(mktemp -d /tmp/vxrhost-bench-XXXXXX)"
server=""
trap '[[ -n "$server" ]] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT

source "$root/scripts/serve-lib.sh"
serve() { start_server "$vxrhost" "$build" "$1" "$work"; }
stop() {
  kill -TERM "$server"
  wait "$server" || true
  server=""
}
measure() {  # measure LABEL PATH
  for c in 1 8 32; do
    wrk -t $((c < 2 ? 1 : 2)) -c "$c" -d "$seconds" --timeout 30s --latency "http://127.0.0.1:$port$2" \
      >"$work/wrk" 2>&1
    rps="$(awk '/Requests\/sec/ {print $2}' "$work/wrk")"
    p50="$(awk '$1 == "50%" {print $2}' "$work/wrk")"
    p99="$(awk '$1 == "99%" {print $2}' "$work/wrk")"
    non2xx="$(awk '/Non-2xx/ {print $NF}' "$work/wrk")"
    echo "| $1 | $c | $rps | $p50 | $p99 | ${non2xx:-0} |"
  done
}

echo "| request | connections | requests/s | p50 | p99 | non-2xx |"
echo "| ------- | ----------: | ---------: | --: | --: | ------: |"
VXRHOST_DB="$work/sample.db" "$vxrhost" reset-sample >/dev/null
serve "$work/sample.db"
measure "MEMBERSTATUS, sample" /api/v1/tables/MEMBERSTATUS/rows
measure "GROUPOBJACT, sample" /api/v1/tables/GROUPOBJACT/rows
stop

"$root/scripts/gen-group" "$work/group.db" -m 32 -n 20000 --shared >/dev/null
serve "$work/group.db"

# One large answer: HTTP against the command, the best of three each.
best() {
  local best=""
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}
fetch() {
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /api/v1/tables/GROUPOBJACT/rows HTTP/1.1\r\nHost: b\r\nConnection: close\r\n\r\n' >&3
  cat <&3 >/dev/null
  exec 3<&-
}
http="$(best fetch)"
stop
cli="$(best "$vxrhost" query GROUPOBJACT --db "$work/group.db" --modules "$build/modules" --format json)"
echo
echo "GROUPOBJACT on 32 x 20,000 (shared), one answer: HTTP ${http} s, vxrhost query --format json ${cli} s" \
  "(ratio $(awk -v h="$http" -v c="$cli" 'BEGIN { printf "%.2f", h / c }'))"
