#!/usr/bin/env bash
# Requests of every module from 8 threads at once in one process, under
# ThreadSanitizer: no report, and every thread's rows byte for byte those of
# a sequential run. Then the server's own test against a ThreadSanitizer
# build of vxrhost serve (the test fails on a report in the server's stderr),
# and the query command's row writer.
# Builds its own directory build-tsan/ (the modules too, so
# that their code is instrumented as well).
#   scripts/tsan.sh [THREADS] [ROUNDS]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$root/build-tsan"
jobs="${VXR_JOBS:-2}"
threads="${1:-8}"
rounds="${2:-5}"
passed=0
failed=0
finish() {
  echo "tsan: $passed passed, $failed failed"
  exit $((failed > 0))
}

gen=()
[[ -f "$dir/CMakeCache.txt" ]] || ! command -v ninja >/dev/null || gen=(-G Ninja)
log="$dir/tsan-build.log"
mkdir -p "$dir"
if ! cmake -S "$root" -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVXR_FLAVOUR=solaris -DVXR_SANITIZE=OFF \
  -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >"$log" 2>&1 ||
  ! cmake --build "$dir" -j "$jobs" --target concurrent_requests vxrhost server_test cli_test >>"$log" 2>&1; then
  tail -n 60 "$log"
  echo "tsan: build failed (log: $log)"
  failed=1
  finish
fi

# Some kernels randomise mappings beyond what this ThreadSanitizer expects;
# running without address randomisation avoids its "unexpected memory
# mapping" failure.
run=("$dir/tests/store/concurrent_requests" "$threads" "$rounds")
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  run=(setarch "$(uname -m)" -R "${run[@]}")
fi
out="$dir/tsan-run.log"
TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:exitcode=66:second_deadlock_stack=1}" \
  "${run[@]}" >"$out" 2>&1
rc=$?
if grep -q "WARNING: ThreadSanitizer" "$out"; then
  sed -n '/WARNING: ThreadSanitizer/,/^SUMMARY/p' "$out" | head -n 80
  echo "tsan: ThreadSanitizer reported (log: $out)"
  failed=$((failed + 1))
else
  passed=$((passed + 1))
fi
grep -E "MISMATCH|requests x" "$out"
if ((rc == 0)); then
  passed=$((passed + 1))
else
  tail -n 5 "$out"
  echo "tsan: the threads' rows differ from the sequential run or the run failed (exit $rc)"
  failed=$((failed + 1))
fi

# A GoogleTest program under ThreadSanitizer: WHAT LOG OPTIONS PROGRAM ARGS...
gtest_check() {
  local what="$1" out="$2" options="$3"
  shift 3
  local cmd=("$@")
  [[ "${run[0]}" == setarch ]] && cmd=(setarch "$(uname -m)" -R "${cmd[@]}")
  TSAN_OPTIONS="${TSAN_OPTIONS:-$options}" "${cmd[@]}" >"$out" 2>&1
  local rc=$?
  grep -E "^\[  (PASSED|FAILED) " "$out"
  if ((rc == 0)); then
    passed=$((passed + 1))
  else
    grep -A 12 -E "WARNING: ThreadSanitizer|Failure" "$out" | head -n 60
    echo "tsan: $what failed under ThreadSanitizer (log: $out)"
    failed=$((failed + 1))
  fi
}
gtest_check "the server test" "$dir/tsan-server.log" \
  "halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$root/scripts/tsan-server.supp" \
  "$dir/tests/server/server_test"
gtest_check "the row writer" "$dir/tsan-writer.log" "halt_on_error=1:exitcode=66" \
  "$dir/tests/cli/cli_test" --gtest_filter='Output.Writer*'
finish
