#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds the native
# tree in build/ (Debug, solaris flavour, with the store and vxrhost) and runs
# a group-table query with vxrhost on the bundled sample data.
# Extra arguments replace the default query arguments.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="${VXR_JOBS:-2}"

bash "$root/scripts/setup.sh"

gen=()
if [[ ! -f build/CMakeCache.txt ]] && command -v ninja >/dev/null; then
  gen=(-G Ninja)
fi
cmake -S "$root" -B build "${gen[@]}" -DCMAKE_BUILD_TYPE=Debug -DVXR_FLAVOUR=solaris \
  -DVXR_SANITIZE=OFF -DVXR_WITH_STORE=ON
cmake --build build -j "$jobs"

host="$root/build/cli/vxrhost"
if [[ ! -x "$host" ]]; then
  echo "run-sample: $host was not built; the build has no vxrhost command yet." >&2
  echo "run-sample: modules built: $(find build/modules -name "*.so" 2>/dev/null | wc -l) in build/modules/" >&2
  exit 1
fi

if (($# > 0)); then
  args=("$@")
else
  args=(query GROUPOBJACT --filter IDNAME=GRPA)
fi
echo "run-sample: $host ${args[*]}"
"$host" "${args[@]}"
