#!/usr/bin/env bash
# Builds and tests every target through the CMake workflow presets
# (CMakePresets.json), then checks the installed package and the formatting:
#   native   build/          x86-64, Debug, with the store and vxrhost
#   asan     build-asan/     x86-64, Debug, AddressSanitizer + UBSan
#   i686     build-i686/     32-bit x86, windows flavour, under qemu-i386
#   ppc      build-ppc/      32-bit big-endian PowerPC, under qemu-ppc
#   release  build-release/  x86-64, Release, tests, then the Debian package
#   package  (release)       the package unpacked into a scratch root answers a query
#   tsan     build-tsan/     8 threads running every table's requests under ThreadSanitizer
#   fuzz     build-fuzz/     a short run of each libFuzzer harness (clang)
#   heartbeat (native)       heartbeats killed and run concurrently land whole or not at all
#   format   clang-format check of the tracked sources
# Usage: scripts/test.sh [STEP]...   (default: all, in this order)
# Installs missing packages first unless VXR_SKIP_SETUP=1. Every preset
# builds with warnings as errors. Exits non-zero when any step fails.
#
# More steps: add a line to the `steps` table below. A script step runs a
# command; it counts its passes and failures from a closing line
# "N passed, N failed" when the command prints one, else as one test.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1

# name    kind      what
steps_table=(
  "native   preset    native"
  "asan     preset    asan"
  "i686     preset    i686"
  "ppc      preset    ppc"
  "release  preset    release"
  "package  script    bash scripts/check-package.sh build-release"
  "tsan     script    bash scripts/tsan.sh"
  "fuzz     script    bash scripts/fuzz-smoke.sh"
  "heartbeat script   bash scripts/heartbeat-check.sh"
  "load     script    bash scripts/load-check.sh build"
  "format   format    -"
)

declare -A kind_of what_of
all_steps=()
for line in "${steps_table[@]}"; do
  read -r name kind what <<<"$line"
  all_steps+=("$name")
  kind_of[$name]=$kind
  what_of[$name]=$what
done

steps=("$@")
((${#steps[@]} > 0)) || steps=("${all_steps[@]}")
for s in "${steps[@]}"; do
  if [[ -z "${kind_of[$s]:-}" ]]; then
    echo "test.sh: unknown step '$s' (known: ${all_steps[*]})" >&2
    exit 2
  fi
done

if [[ "${VXR_SKIP_SETUP:-0}" != 1 ]]; then
  bash "$root/scripts/setup.sh" || {
    echo "test.sh: setup failed" >&2
    exit 1
  }
fi

total_passed=0
total_failed=0
summary=()
overall=0

# record STEP PASS|FAIL PASSED FAILED DETAIL SECONDS
record() {
  total_passed=$((total_passed + $3))
  total_failed=$((total_failed + $4))
  summary+=("$(printf '%-8s %-5s %-52s %5ss' "$1" "$2" "$5" "$6")")
  [[ "$2" == PASS ]] || overall=1
}

show_tail() {
  echo "---- last lines of $1 ----"
  tail -n 120 "$1"
  echo "---- (full log: $1) ----"
}

# A workflow preset: configure, build, test (and package for release). The
# counts come from CTest's closing line; a configure or build failure counts
# as one failed test.
run_preset() {
  local step="$1" preset="$2" start=$SECONDS
  local log="$root/build-logs/$step.log"
  mkdir -p "$root/build-logs"
  echo
  echo "==== $step: cmake --workflow --preset $preset ===="
  cmake --workflow --preset "$preset" 2>&1 | tee "$log" | grep -E '^(Executing workflow step|[0-9]+% tests passed|The following tests FAILED|CPack: - package)' 
  local rc=${PIPESTATUS[0]}
  local line passed=0 failed=0 count=0
  line="$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
  if [[ "$line" =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=${BASH_REMATCH[1]}
    count=${BASH_REMATCH[2]}
    passed=$((count - failed))
  fi
  local seconds=$((SECONDS - start))
  if ((rc == 0 && count > 0)); then
    record "$step" PASS "$passed" "$failed" "$passed passed, $failed failed" "$seconds"
  elif ((count > 0)); then
    show_tail "$log"
    ((failed > 0)) || failed=1
    record "$step" FAIL "$passed" "$failed" "$passed passed, $failed failed (log: build-logs/$step.log)" "$seconds"
  else
    show_tail "$log"
    record "$step" FAIL 0 1 "configure, build or package failed (log: build-logs/$step.log)" "$seconds"
  fi
}

# A script step: any command; its closing "N passed, N failed" line gives
# the counts, else its exit status counts as one test.
run_script() {
  local step="$1" start=$SECONDS
  shift
  local log="$root/build-logs/$step.log"
  mkdir -p "$root/build-logs"
  echo
  echo "==== $step: $* ===="
  bash -c "$*" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local passed=0 failed=0 line
  line="$(grep -E '(^|: )[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)"
  if [[ "$line" =~ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
    passed=${BASH_REMATCH[1]}
    failed=${BASH_REMATCH[2]}
  elif ((rc == 0)); then
    passed=1
  fi
  ((rc == 0 || failed > 0)) || failed=1
  local seconds=$((SECONDS - start))
  if ((rc == 0 && failed == 0)); then
    record "$step" PASS "$passed" "$failed" "$passed passed, $failed failed" "$seconds"
  else
    record "$step" FAIL "$passed" "$failed" "$passed passed, $failed failed (log: build-logs/$step.log)" "$seconds"
  fi
}

format_check() {
  local start=$SECONDS
  echo
  echo "==== format: clang-format --dry-run --Werror ===="
  local files=()
  if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -d '' files < <(git -C "$root" ls-files -z -- '*.cpp' '*.h')
  else
    mapfile -d '' files < <(find . -path './build*' -prune -o -path ./.git -prune -o \
      -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
  fi
  local log="$root/build-logs/format.log"
  mkdir -p "$root/build-logs"
  if ((${#files[@]} == 0)) || clang-format --dry-run --Werror "${files[@]}" >"$log" 2>&1; then
    record format PASS 1 0 "${#files[@]} files formatted" $((SECONDS - start))
  else
    local bad
    bad="$(grep -oE '^[^:]+\.(cpp|h):' "$log" | sort -u | tr -d ':' | tr '\n' ' ')"
    head -n 60 "$log"
    echo "files needing clang-format -i: $bad"
    record format FAIL 0 1 "$(wc -w <<<"$bad") of ${#files[@]} files not formatted" $((SECONDS - start))
  fi
}

for s in "${steps[@]}"; do
  case "${kind_of[$s]}" in
    preset) run_preset "$s" "${what_of[$s]}" ;;
    script) run_script "$s" "${what_of[$s]}" ;;
    format) format_check ;;
  esac
done

echo
echo "==== summary ===="
printf '%s\n' "${summary[@]}"
if ((overall == 0)); then
  echo "all steps passed"
else
  echo "SOME STEPS FAILED"
fi
echo "total: $total_passed passed, $total_failed failed"
exit "$overall"
