# Sourced by the scripts that drive vxrhost serve.
#   start_server VXRHOST BUILD_DIR DB WORK_DIR [OPTION]...
# starts `vxrhost serve` on a free loopback port with the heartbeat every
# second, stdout and stderr in WORK_DIR/out and WORK_DIR/err; sets $server
# (its pid) and $port (empty when it did not start within 10 s).
start_server() {
  local vxrhost="$1" build="$2" db="$3" work="$4"
  shift 4
  "$vxrhost" serve --db "$db" --modules "$build/modules" --listen 127.0.0.1:0 \
    --heartbeat-interval 1 --access-log /dev/null "$@" >"$work/out" 2>"$work/err" &
  server=$!
  for _ in $(seq 100); do
    [[ -s "$work/out" ]] && break
    sleep 0.1
  done
  port="$(sed -n 's|^listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$work/out")"
}
