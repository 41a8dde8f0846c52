#!/usr/bin/env bash
# Short libFuzzer runs of the three harnesses in fuzz/ (clang): first every
# regression input under fuzz/corpus/<harness>/ once, then FUZZ_SECONDS
# (default 30) of fuzzing from that corpus, two harnesses at a time. Builds
# build-fuzz/. A crash, sanitizer report or failed check fails the run; its
# input is left in build-fuzz/findings/ (add it to fuzz/corpus/ once fixed).
# The long run is described in fuzz/README.md.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$root/build-fuzz"
jobs="${VXR_JOBS:-2}"
seconds="${FUZZ_SECONDS:-30}"
harnesses=(fuzz_sql_dialect fuzz_sqlite_store fuzz_module)
passed=0
failed=0
finish() {
  echo "fuzz-smoke: $passed passed, $failed failed"
  exit $((failed > 0))
}

gen=()
[[ -f "$dir/CMakeCache.txt" ]] || ! command -v ninja >/dev/null || gen=(-G Ninja)
mkdir -p "$dir/findings"
log="$dir/fuzz-build.log"
# -Wno-error=varargs: clang flags a va_start in the runtime that g++ accepts.
if ! CC=clang CXX=clang++ cmake -S "$root" -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVXR_FUZZ=ON -DVXR_BUILD_TESTS=OFF -DCMAKE_CXX_FLAGS=-Wno-error=varargs >"$log" 2>&1 ||
  ! cmake --build "$dir" -j "$jobs" --target "${harnesses[@]}" >>"$log" 2>&1; then
  tail -n 60 "$log"
  echo "fuzz-smoke: build failed (log: $log)"
  failed=1
  finish
fi

# run HARNESS: regression inputs, then a timed run on a scratch copy of the corpus.
run() {
  local h="$1" bin="$dir/fuzz/$1" corpus="$root/fuzz/corpus/$1" scratch="$dir/corpus/$1"
  local out="$dir/$h.log"
  mkdir -p "$scratch"
  if [[ -d "$corpus" ]] && compgen -G "$corpus/*" >/dev/null; then
    cp -n "$corpus"/* "$scratch"/ 2>/dev/null
    if ! "$bin" -artifact_prefix="$dir/findings/$h-" "$corpus"/* >"$out.regress" 2>&1; then
      echo "FAIL $h: a regression input fails"
      grep -E "ERROR|SUMMARY|Running:" "$out.regress" | tail -n 5
      return 1
    fi
  fi
  if ! "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/$h-" "$scratch" >"$out" 2>&1; then
    echo "FAIL $h: see $out"
    grep -E "ERROR|SUMMARY|Test unit written" "$out" | tail -n 5
    return 1
  fi
  echo "ok   $h: $(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$out" | grep -oE '[0-9]+$') runs in ${seconds}s, $(grep -oE 'cov: [0-9]+' "$out" | tail -n 1)"
}

pids=()
names=()
for h in "${harnesses[@]}"; do
  run "$h" &
  pids+=($!)
  names+=("$h")
  if ((${#pids[@]} >= jobs)); then
    wait "${pids[0]}" && passed=$((passed + 1)) || failed=$((failed + 1))
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do
  wait "$p" && passed=$((passed + 1)) || failed=$((failed + 1))
done
finish
