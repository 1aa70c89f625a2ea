# Sourced by the whole-process benchmarks: `best_of_three CMD...` runs the
# command three times, output discarded, and prints its fastest wall time
# in seconds.
best_of_three() {
  local best=""
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    best=$(python3 -c "t=$end-$start; b='$best'; print(t if not b else min(t, float(b)))")
  done
  echo "$best"
}
