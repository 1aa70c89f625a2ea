#!/usr/bin/env bash
# The main job: recovers the deleted files of SOURCE (an image file, a disk
# or a partition node) into a folder. Without SOURCE it makes a sample FAT32
# image with folders and deleted files and recovers those.
#   scripts/run.sh [SOURCE] [--deep] [--to DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=build-release
if [ ! -x "$build/salvora" ] || [ -n "$(find src -newer "$build/salvora" -name '*.[ch]*' -print -quit)" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSALVORA_TESTS=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" >/dev/null
fi

source=""
mode="--quick"
dest=""
while [ $# -gt 0 ]; do
  case "$1" in
    --deep) mode="--deep" ;;
    --to) dest="$2"; shift ;;
    *) source="$1" ;;
  esac
  shift
done

work=$(mktemp -d /tmp/salvora-run-XXXXXX)
if [ -z "$source" ]; then
  source="$work/sample-fat32.img"
  bash scripts/make-sample.sh "$source"
  echo "made a sample FAT32 image with deleted files: $source"
fi
[ -n "$dest" ] || dest="$work/recovered"

"$build/salvora" info "$source"
echo
"$build/salvora" scan "$mode" "$source"
echo
status=0
"$build/salvora" recover "$mode" --keep-paths --to "$dest" "$source" || status=$?
echo
echo "recovered files are in: $dest"
find "$dest" -type f | sort | head -50
exit $status
