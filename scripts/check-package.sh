#!/usr/bin/env bash
# Unpacks the Debian package of a release build (made by `cpack -G DEB` or the
# release preset's package step) into a scratch root and checks it as a
# user would see it: dependencies from shlibdeps, the man page and the
# completion, a query on the sample from another directory, with the
# modules found beside the installed vxrhost, and the SQLite extension.
# Usage: scripts/check-package.sh [BUILD-DIR]   (default: build-release)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="${1:-build-release}"
[[ "$dir" = /* ]] || dir="$root/$dir"

passed=0
failed=0
check() {
  local what="$1"
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok      $what"
  else
    failed=$((failed + 1))
    echo "FAILED  $what"
  fi
}

deb="$(ls -t "$dir"/vxr_*.deb 2>/dev/null | head -n 1)"
if [[ -z "$deb" ]]; then
  echo "check-package: no vxr_*.deb in $dir (run the release preset first)" >&2
  echo "package: 0 passed, 1 failed"
  exit 1
fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "package $(basename "$deb"): Depends: $depends"

check "dependencies come from the libraries (libc6, libsqlite3)" \
  grep -q 'libc6.*libsqlite3\|libsqlite3.*libc6' <<<"$depends"
check "vxrhost in /usr/bin" test -x "$scratch/root/usr/bin/vxrhost"
check "man page" test -s "$scratch/root/usr/share/man/man1/vxrhost.1.gz"
check "bash completion" test -s "$scratch/root/usr/share/bash-completion/completions/vxrhost"
check "schema and sample data" test -s "$scratch/root/usr/share/vxr/sample.sql"
check "web console" test -s "$scratch/root/usr/share/vxr/console/index.html"
check "systemd unit" test -s "$scratch/root/usr/lib/systemd/system/vxrhost.service"
check "depends on the HTTP library" grep -q 'libcpp-httplib' <<<"$depends"
check "depends on Chart.js for the console" grep -q 'libjs-chart.js' <<<"$depends"
modules_built=$(find "$dir/modules" -maxdepth 1 -name '*.so' | wc -l)
check "every built module ($modules_built)" test "$(find "$scratch/root/usr/lib" -path '*/vxr/modules/*.so' | wc -l)" -eq "$modules_built"

mkdir -p "$scratch/home" "$scratch/elsewhere"
out="$(cd "$scratch/elsewhere" && env -u VXRHOST_MODULES -u VXRHOST_DB -u XDG_DATA_HOME \
  HOME="$scratch/home" "$scratch/root/usr/bin/vxrhost" query GROUPOBJACT --filter IDNAME=GRPA \
  --format csv 2>"$scratch/err")"
rc=$?
cat "$scratch/err"
check "query from the package exits 0" test "$rc" -eq 0
check "query from the package answers 3 rows" test "$(grep -c '^GRPA:RX4plex:DSGROUP,' <<<"$out")" -eq 3
check "the sample was created from the installed data" \
  test -s "$scratch/home/.local/share/vxrhost/sample.db"

# The SQLite extension, loaded by Debian's sqlite3 from the package, with the
# installed modules found beside it.
ext="$(find "$scratch/root/usr/lib" -path '*/vxr/vxrsqlite.so' | head -n 1)"
check "the SQLite extension in <libdir>/vxr" test -n "$ext"
answer="$(env -u VXRHOST_MODULES sqlite3 "$scratch/home/.local/share/vxrhost/sample.db" \
  ".load ${ext%.so}" "SELECT count(*) FROM GROUPOBJACT WHERE IDNAME='GRPA'" 2>&1)"
check "the extension answers in sqlite3 (3 rows: $answer)" test "$answer" = 3

# The server from the package hands out the installed console.
env -u VXRHOST_MODULES -u VXRHOST_DB -u XDG_DATA_HOME HOME="$scratch/home" \
  "$scratch/root/usr/bin/vxrhost" serve --listen 127.0.0.1:0 --heartbeat-interval 0 \
  >"$scratch/serve.out" 2>"$scratch/serve.err" &
server=$!
for _ in $(seq 50); do
  [[ -s "$scratch/serve.out" ]] && break
  sleep 0.1
done
port="$(sed -n 's|^listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$scratch/serve.out")"
answer=""
if [[ -n "$port" ]] && exec 3<>"/dev/tcp/127.0.0.1/$port"; then
  printf 'GET /static/index.html HTTP/1.1\r\nHost: p\r\nConnection: close\r\n\r\n' >&3
  answer="$(cat <&3)"
  exec 3<&-
fi
kill -TERM "$server" 2>/dev/null
wait "$server"
check "serve from the package hands out the installed console" grep -q '^HTTP/1.1 200' <<<"$answer"

echo "package: $passed passed, $failed failed"
((failed == 0))
