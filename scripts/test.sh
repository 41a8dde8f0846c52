#!/usr/bin/env bash
# Builds and runs the whole test suite on every target:
#   native  build/       x86-64, solaris flavour, Debug, with the store and vxrhost
#   asan    build-asan/  x86-64, solaris flavour, AddressSanitizer + UBSan
#   i686    build-i686/  32-bit x86, windows flavour, RelWithDebInfo, under qemu-i386
#   ppc     build-ppc/   32-bit big-endian PowerPC, solaris flavour, RelWithDebInfo, under qemu-ppc
#   format  clang-format check of the tracked sources
# Usage: scripts/test.sh [native|asan|i686|ppc|format]...   (default: all)
# Build directories are reused when present. Installs missing packages first
# unless VXR_SKIP_SETUP=1. Exits non-zero when any step fails.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1

jobs="${VXR_JOBS:-2}"
all_steps=(native asan i686 ppc format)
if (($# > 0)); then
  steps=("$@")
else
  steps=("${all_steps[@]}")
fi
for s in "${steps[@]}"; do
  case " ${all_steps[*]} " in
    *" $s "*) ;;
    *)
      echo "test.sh: unknown step '$s' (known: ${all_steps[*]})" >&2
      exit 2
      ;;
  esac
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

# record STEP STATUS DETAIL SECONDS
record() {
  summary+=("$(printf '%-7s %-5s %-44s %4ss' "$1" "$2" "$3" "$4")")
  [[ "$2" == PASS ]] || overall=1
}

# Shows the end of a log that holds the reason of a failure.
show_tail() {
  echo "---- last lines of $1 ----"
  tail -n 120 "$1"
  echo "---- (full log: $1) ----"
}

# target STEP DIR CMAKE-ARGS...
# Configures and builds DIR, then runs its tests with CTest. A target that does
# not configure or build counts as one failed test in the total.
target() {
  local step="$1" dir="$2"
  shift 2
  local start=$SECONDS
  local gen=()
  if [[ ! -f "$dir/CMakeCache.txt" ]] && command -v ninja >/dev/null; then
    gen=(-G Ninja)
  fi
  mkdir -p "$dir"
  local log="$dir/test-sh-build.log"
  echo
  echo "==== $step: configure and build $dir/ ===="
  if ! cmake -S "$root" -B "$dir" "${gen[@]}" "$@" >"$log" 2>&1; then
    show_tail "$log"
    record "$step" FAIL "configure failed ($dir/)" $((SECONDS - start))
    total_failed=$((total_failed + 1))
    return
  fi
  if ! cmake --build "$dir" -j "$jobs" >>"$log" 2>&1; then
    show_tail "$log"
    record "$step" FAIL "build failed ($dir/)" $((SECONDS - start))
    total_failed=$((total_failed + 1))
    return
  fi
  local built=$((SECONDS - start))
  echo "built in ${built}s"
  echo "==== $step: ctest in $dir/ ===="
  local tlog="$dir/test-sh-ctest.log"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --no-tests=error --timeout 300 2>&1 |
    tee "$tlog"
  local rc=${PIPESTATUS[0]}
  local line passed=0 failed=0 count=0
  line="$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$tlog" | tail -n 1)"
  if [[ "$line" =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=${BASH_REMATCH[1]}
    count=${BASH_REMATCH[2]}
    passed=$((count - failed))
  elif ((rc != 0)); then
    failed=1
  fi
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  local detail="$passed passed, $failed failed ($dir/, build ${built}s)"
  if ((rc == 0 && count > 0)); then
    record "$step" PASS "$detail" $((SECONDS - start))
  else
    ((count > 0)) || detail="no test ran ($dir/)"
    record "$step" FAIL "$detail" $((SECONDS - start))
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
  if ((${#files[@]} == 0)); then
    record format PASS "no sources to check" $((SECONDS - start))
    return
  fi
  local log="$root/build-format.log"
  if clang-format --dry-run --Werror "${files[@]}" >"$log" 2>&1; then
    record format PASS "${#files[@]} files formatted" $((SECONDS - start))
    rm -f "$log"
  else
    local bad
    bad="$(grep -oE '^[^:]+\.(cpp|h):' "$log" | sort -u | tr -d ':' | tr '\n' ' ')"
    head -n 60 "$log"
    echo "files needing clang-format -i: $bad"
    rm -f "$log"
    record format FAIL "$(wc -w <<<"$bad") of ${#files[@]} files not formatted" $((SECONDS - start))
  fi
}

for s in "${steps[@]}"; do
  case "$s" in
    native)
      target native build -DCMAKE_BUILD_TYPE=Debug -DVXR_FLAVOUR=solaris -DVXR_SANITIZE=OFF
      ;;
    asan)
      ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}" \
        UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
        target asan build-asan -DCMAKE_BUILD_TYPE=Debug -DVXR_FLAVOUR=solaris -DVXR_SANITIZE=ON
      ;;
    i686)
      target i686 build-i686 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686.cmake" \
        -DCMAKE_BUILD_TYPE="${VXR_CROSS_BUILD_TYPE:-RelWithDebInfo}" -DVXR_FLAVOUR=windows
      ;;
    ppc)
      target ppc build-ppc -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-ppc.cmake" \
        -DCMAKE_BUILD_TYPE="${VXR_CROSS_BUILD_TYPE:-RelWithDebInfo}" -DVXR_FLAVOUR=solaris
      ;;
    format)
      format_check
      ;;
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
