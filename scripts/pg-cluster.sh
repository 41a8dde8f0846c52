#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests: initdb into a directory of its
# own, a Unix socket in that directory, no TCP. Run as root it runs the server
# as the unprivileged user "postgres" (or "nobody"); otherwise as the caller.
#
#   scripts/pg-cluster.sh start [DIR]   creates and starts a cluster, prints DIR
#                                       (default: a new directory under $TMPDIR)
#   scripts/pg-cluster.sh url DIR       prints the URL of its database "vxr"
#   scripts/pg-cluster.sh stop DIR      stops the cluster and removes DIR
#
# The cluster has a database "vxr" owned by the superuser (trust on the
# socket) and a role "vxr_pw" with password "vxr_pw", which must log in with
# its password (for the wrong-password checks).
set -euo pipefail
bin="${PG_BIN:-/usr/lib/postgresql/15/bin}"
cmd="${1:-}"
dir="${2:-}"

usage() {
  echo "usage: pg-cluster.sh start [DIR] | url DIR | stop DIR" >&2
  exit 2
}
as_owner() {
  if ((EUID == 0)); then runuser -u "$owner" -- "$@"; else "$@"; fi
}
owner_of() { stat -c %U "$1"; }
superuser() { cat "$1/superuser"; }
url() { printf 'postgresql:///vxr?host=%s&user=%s\n' "$1" "$(superuser "$1")"; }

case "$cmd" in
  start)
    [[ -x "$bin/initdb" ]] || { echo "pg-cluster: no $bin/initdb (install postgresql)" >&2; exit 1; }
    if ((EUID == 0)); then
      owner=postgres
      getent passwd "$owner" >/dev/null || owner=nobody
    else
      owner="$(id -un)"
    fi
    if [[ -z "$dir" ]]; then
      dir="$(mktemp -d "${TMPDIR:-/tmp}/vxr-pg.XXXXXX")"
    else
      mkdir -p "$dir"
    fi
    chmod 755 "$dir"
    ((EUID == 0)) && chown "$owner" "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U "$owner" --auth-local=trust -E UTF8 \
      --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
      cat "$dir/initdb.log" >&2
      exit 1
    }
    # Password login for vxr_pw first, trust for everyone else on the socket.
    as_owner sh -c "printf 'local all vxr_pw scram-sha-256\nlocal all all trust\n' >'$dir/data/pg_hba.conf'"
    echo "$owner" >"$dir/superuser"
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
      -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off" start >/dev/null || {
      cat "$dir/server.log" >&2
      exit 1
    }
    as_owner "$bin/psql" -h "$dir" -d postgres -qAt -v ON_ERROR_STOP=1 \
      -c "CREATE DATABASE vxr" -c "CREATE ROLE vxr_pw LOGIN PASSWORD 'vxr_pw'" \
      -c "GRANT ALL ON DATABASE vxr TO vxr_pw" >/dev/null
    echo "$dir"
    ;;
  url)
    [[ -n "$dir" && -f "$dir/superuser" ]] || usage
    url "$dir"
    ;;
  stop)
    [[ -n "$dir" && -d "$dir/data" ]] || usage
    owner="$(owner_of "$dir/data")"
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
  *) usage ;;
esac
