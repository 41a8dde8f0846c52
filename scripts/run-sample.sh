#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds the native
# tree in build/ (the native preset: Debug, solaris flavour, with the store
# and vxrhost) and runs a group-table query with vxrhost on the bundled
# sample data. Extra arguments replace the default query arguments.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash "$root/scripts/setup.sh"

cmake --preset native --compile-no-warning-as-error
cmake --build --preset native

host="$root/build/cli/vxrhost"
if [[ ! -x "$host" ]]; then
  echo "run-sample: $host was not built" >&2
  exit 1
fi

if (($# > 0)); then
  args=("$@")
else
  args=(query GROUPOBJACT --filter IDNAME=GRPA)
fi
echo "run-sample: $host ${args[*]}"
"$host" "${args[@]}"
