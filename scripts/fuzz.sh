#!/usr/bin/env bash
# Builds the fuzz targets (clang-16, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60) from its
# seeds and dictionary, two at a time. Each run starts from a fresh working
# corpus; crashes are kept as files in CRASH_DIR/<target>/. Prints a summary
# (executions, coverage, crashes) and exits non-zero when a target crashed.
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_CRASH_DIR (default
# FUZZ_BUILD_DIR/crashes), FUZZ_TARGETS (names to run, default all),
# FUZZ_JOBS (targets run at once, default 2).
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${FUZZ_BUILD_DIR:-build-fuzz}"
jobs="${FUZZ_JOBS:-2}"
scripts/install-deps.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 -DQUILLSTONE_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_all

build="$(cd "$build" && pwd)"
crash_root="${FUZZ_CRASH_DIR:-$build/crashes}"
mkdir -p "$crash_root"
crash_root="$(cd "$crash_root" && pwd)"
work="$build/fuzz-runs"
rm -rf "$work"
mkdir -p "$work"
touch "$work/.start"

if [ -n "${FUZZ_TARGETS:-}" ]; then
  targets="$FUZZ_TARGETS"
else
  targets="$(cd "$build/bin" && ls fuzz_* | sed -n 's/^fuzz_//p' | grep -v '^write_seeds$' | tr '\n' ' ')"
fi

run_target() {
  local name="$1"
  local corpus="$work/corpus/$name"
  local crashes="$crash_root/$name"
  mkdir -p "$corpus" "$crashes"
  local args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=8 -print_final_stats=1
              -artifact_prefix="$crashes/")
  [ -f "fuzz/dict/$name.dict" ] && args+=(-dict="fuzz/dict/$name.dict")
  local seeds="$build/fuzz/seeds/$name"
  local dirs=("$corpus")
  [ -d "$seeds" ] && dirs+=("$seeds")
  if "$build/bin/fuzz_$name" "${args[@]}" "${dirs[@]}" >"$work/$name.log" 2>&1; then
    echo ok >"$work/$name.status"
  else
    echo failed >"$work/$name.status"
  fi
}

running=0
for name in $targets; do
  echo "fuzzing $name for ${seconds}s"
  run_target "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

failed=0
printf '\n%-18s %14s %10s %8s\n' target executions coverage crashes
for name in $targets; do
  log="$work/$name.log"
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | sed 's/cov: //')"
  crashes="$(find "$crash_root/$name" -maxdepth 1 -type f \
    \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) -newer "$work/.start" | wc -l)"
  if [ "$(cat "$work/$name.status")" != ok ] || [ "$crashes" -ne 0 ]; then
    failed=1
    [ "$crashes" -eq 0 ] && crashes="run failed"
  fi
  printf '%-18s %14s %10s %8s\n' "$name" "${execs:-?}" "${cov:-?}" "$crashes"
done
echo
echo "logs: $work"
echo "crashes: $crash_root"
exit "$failed"
