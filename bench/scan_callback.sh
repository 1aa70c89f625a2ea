#!/usr/bin/env bash
# The scan window's cost on a deep scan: a 1 GiB image of noise with real
# pictures, cached, scanned bare and inside the window (see
# bench/app/ScanCallbackBench.cpp). Usage: bench/scan_callback.sh [BUILD_DIR]
# with a Release build configured with -DSALVORA_BENCH=ON.
set -euo pipefail
BUILD=$(realpath "${1:-build-bench}")
WORK=$(mktemp -d /tmp/salvora-callback-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
convert -size 640x480 -seed 3 plasma:red-blue -quality 85 photo.jpg
python3 - <<'PY'
import random
rng = random.Random(20261207)
photo = open("photo.jpg", "rb").read()
with open("image.img", "wb") as out:
    for piece in range(16):
        block = bytearray(rng.randbytes(64 << 20))
        at = (rng.randrange(0, (64 << 20) - len(photo)) // 512) * 512
        block[at:at + len(photo)] = photo
        out.write(block)
PY
cat image.img > /dev/null
QT_QPA_PLATFORM=offscreen "$BUILD/bench_scan_callback" image.img 3
