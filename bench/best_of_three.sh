# Sourced by the whole-process benchmarks: `best_of_three CMD...` runs the
# command three times, output discarded, and prints its fastest wall time
# in seconds; `median_of_three CMD...` prints the middle one, which other
# work on a shared machine moves less than the fastest.
three_wall_times() {
  local start end
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    python3 -c "print($end - $start)"
  done | sort -g
}
best_of_three() { three_wall_times "$@" | sed -n 1p; }
median_of_three() { three_wall_times "$@" | sed -n 2p; }
