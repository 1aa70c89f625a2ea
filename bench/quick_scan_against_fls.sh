# Sourced by the quick-scan benchmarks after `repo` is set.
# `release_salvora [BINARY]` prints BINARY, or builds a Release salvora in
# build-release/ and prints its path. `quick_scan_against_fls IMAGE` times
# `salvora scan --quick` against The Sleuth Kit's `fls -r` and `fls -rd` on
# IMAGE (median of three runs each) and prints the ratios.
source "$repo/bench/best_of_three.sh"

release_salvora() {
  if [ -n "${1:-}" ]; then
    echo "$1"
    return
  fi
  cmake -S "$repo" -B "$repo/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DSALVORA_TESTS=OFF >/dev/null
  cmake --build "$repo/build-release" --target salvora >/dev/null
  echo "$repo/build-release/salvora"
}

quick_scan_against_fls() {
  local image=$1 found listed salvora_s fls_s flsd_s
  found=$("$salvora" scan --quick "$image" 2>/dev/null | grep -c '/' || true)
  listed=$(fls -r -d "$image" | grep -c 'r/r \*' || true)
  # Other work on the machine moves the times: say how busy it was.
  echo "load average before timing: $(cut -d' ' -f1-3 /proc/loadavg)"
  salvora_s=$(median_of_three "$salvora" scan --quick "$image")
  fls_s=$(median_of_three fls -r "$image")
  flsd_s=$(median_of_three fls -r -d "$image")
  echo "salvora scan --quick: ${salvora_s}s (${found} deleted files listed)"
  echo "fls -r:               ${fls_s}s"
  echo "fls -rd:              ${flsd_s}s (${listed} deleted files listed)"
  python3 -c "print(f'ratio salvora / fls -r: {$salvora_s / $fls_s:.2f}, salvora / fls -rd: {$salvora_s / $flsd_s:.2f}')"
}
