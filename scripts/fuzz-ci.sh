#!/usr/bin/env bash
# Builds every libFuzzer target in fuzz/ with clang and runs each for a
# bounded time on its corpus in fuzz/corpus/<target>/ (the corpus is copied
# first, so the tree stays as committed). Prints one line per target with
# its executions and crashes; exits non-zero when a target crashed, hung,
# leaked or did not build.
#   ZARNS_FUZZ_SECONDS  seconds per target (default 18: the stage keeps its
#                       total time as targets are added)
#   ZARNS_FUZZ_BUILD    build directory (default build-fuzz)
set -uo pipefail
cd "$(dirname "$0")/.."
secs=${ZARNS_FUZZ_SECONDS:-18}
build=${ZARNS_FUZZ_BUILD:-build-fuzz}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ is missing (scripts/deps.sh installs it)" >&2
  exit 1
fi
conf=$(mktemp)
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZARNS_FUZZ=ON -DZARNS_GUI=OFF -DZARNS_BENCH=OFF >"$conf" 2>&1 || {
  cat "$conf"
  rm -f "$conf"
  exit 1
}
rm -f "$conf"
targets=()
for f in fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
ninja -C "$build" -j2 "${targets[@]}" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
total=0
printf '%-22s %12s %9s %8s\n' target executions exec/s crashes
for t in "${targets[@]}"; do
  corpus="$work/$t"
  mkdir -p "$corpus" "$work/$t.artifacts"
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$corpus/"
  log="$work/$t.log"
  "$build/fuzz/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/$t.artifacts/" "$corpus" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  crashes=$(find "$work/$t.artifacts" -type f | wc -l)
  [ "$rc" -eq 0 ] || [ "$crashes" -gt 0 ] || crashes=1
  printf '%-22s %12s %9s %8s\n' "$t" "${runs:-?}" "${speed:-?}" "$crashes"
  total=$((total + ${runs:-0}))
  if [ "$crashes" -gt 0 ]; then
    failed=$((failed + 1))
    echo "---- $t failed (exit $rc); the end of its log:"
    tail -n 40 "$log"
    for a in "$work/$t.artifacts"/*; do [ -f "$a" ] && echo "input: $(basename "$a") ($(stat -c %s "$a") bytes)"; done
  fi
done
echo "fuzz: ${#targets[@]} targets, $total executions, $failed failed"
[ "$failed" -eq 0 ]
