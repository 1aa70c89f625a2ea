#!/usr/bin/env bash
# Seeds of a target without its own seed script: the start of every real
# volume and every real file, at most 64 KiB each. A target whose input has
# a layout of its own gets fuzz/seeds/<target name>.sh beside this one.
set -euo pipefail
pool=$1 out=$2
for input in "$pool"/volumes/* "$pool"/files/*; do
  [ -f "$input" ] && head -c 65536 "$input" > "$out/$(basename "$input")"
done
