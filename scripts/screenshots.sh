#!/usr/bin/env bash
# Renders every window of salvora-gui under Xvfb, at work on a sample
# volume, into docs/screenshots/ for the README.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=build-screenshots
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSALVORA_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target salvora-screenshots salvora-preview >/dev/null
mkdir -p docs/screenshots
xvfb-run -a -s "-screen 0 1280x800x24" "$build/salvora-screenshots" "$PWD/docs/screenshots"
ls docs/screenshots
