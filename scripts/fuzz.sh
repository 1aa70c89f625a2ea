#!/usr/bin/env bash
# Fuzzes every libFuzzer target that CMake builds from fuzz/, one after
# another, for SECONDS each (default 600). Each target starts from seeds cut
# now from real volumes and real files (fuzz/seeds/<target>.sh, or
# fuzz/seeds/default.sh for a target without one), so that it starts deep
# in the code. Exits non-zero when a target crashes, hangs, runs out of
# memory or does not build; its input is then kept under
# <work>/findings/<target>/, to become tests/fuzz/<target>/<name> once fixed
# (the normal suite replays that folder).
#
# Usage: scripts/fuzz.sh [SECONDS]
# Environment: SALVORA_FUZZ_BUILD (build folder, default build-fuzz),
# SALVORA_FUZZ_WORK (pool, corpora, findings and logs; default
# <build>/fuzz-run), SALVORA_FUZZ_TARGETS (run only these, space-separated).
set -uo pipefail
seconds=${1:-600}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SALVORA_FUZZ_BUILD:-$root/build-fuzz}
work=${SALVORA_FUZZ_WORK:-$build/fuzz-run}
mkdir -p "$work"/{corpus,findings,logs}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSALVORA_FUZZ=ON -DSALVORA_TESTS=OFF >"$work/logs/configure.log" 2>&1 || {
  echo "fuzz: configuring $build failed, see $work/logs/configure.log" >&2
  exit 2
}

# Whatever CMake makes of fuzz/: targets that need libraries this machine
# lacks are simply not defined.
targets=${SALVORA_FUZZ_TARGETS:-$(ninja -C "$build" -t targets all |
  sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): \(phony\|CXX_EXECUTABLE_LINKER.*\)$/\1/p' | sort -u)}
if [ -z "$targets" ]; then
  echo "fuzz: CMake defines no fuzz targets" >&2
  exit 2
fi

cmake --build "$build" --target salvora >"$work/logs/build-salvora.log" 2>&1 || true
# The pool is made once per work folder, and kept only when it was made whole.
if [ ! -d "$work/pool" ]; then
  rm -rf "$work/pool.new"
  if bash "$root/fuzz/seeds/make-pool.sh" "$work/pool.new" "$build/salvora" \
    >"$work/logs/pool.log" 2>&1; then
    mv "$work/pool.new" "$work/pool"
  else
    echo "fuzz: the seed pool is incomplete, see $work/logs/pool.log" >&2
  fi
fi
pool="$work/pool"
[ -d "$pool" ] || pool="$work/pool.new"

failed=0
summary="$work/summary.txt"
printf '%-32s %14s %10s %8s  %s\n' target executions "exec/s" corpus result >"$summary"
for target in $targets; do
  name=${target#fuzz_}
  log="$work/logs/$name.log"
  if ! cmake --build "$build" --target "$target" >"$log" 2>&1; then
    printf '%-32s %14s %10s %8s  %s\n' "$target" - - - "does not build" >>"$summary"
    failed=1
    continue
  fi
  corpus="$work/corpus/$name"
  findings="$work/findings/$name"
  mkdir -p "$corpus" "$findings"
  seeds="$root/fuzz/seeds/$name.sh"
  [ -f "$seeds" ] || seeds="$root/fuzz/seeds/default.sh"
  bash "$seeds" "$pool" "$corpus" >>"$log" 2>&1 || echo "fuzz: seeds of $name incomplete" >&2
  echo "fuzz: $target for ${seconds}s from $(ls "$corpus" | wc -l) inputs" >&2
  "$build/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >>"$log" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  result="clean"
  if [ "$status" -ne 0 ]; then
    result="FOUND $(ls "$findings" | tr '\n' ' ')(exit $status, see $log)"
    failed=1
  fi
  printf '%-32s %14s %10s %8s  %s\n' "$target" "${executions:-?}" "${speed:-?}" \
    "$(ls "$corpus" | wc -l)" "$result" >>"$summary"
done
cat "$summary"
exit "$failed"
