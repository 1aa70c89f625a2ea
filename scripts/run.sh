#!/usr/bin/env bash
# The main job: recovers the deleted files of SOURCE (an image file, a disk
# or a partition node) into a folder. Without SOURCE it makes a sample FAT32
# image with folders and deleted files and recovers those. With --gui it
# starts the desktop application instead, with SOURCE (or the sample) in its
# disk list.
#   scripts/run.sh [SOURCE] [--deep] [--to DIR] [--gui]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=build-release
if [ ! -x "$build/salvora" ] || [ -n "$(find src skin -newer "$build/salvora" -print -quit)" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSALVORA_TESTS=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" >/dev/null
fi

source=""
mode="--quick"
dest=""
gui=false
while [ $# -gt 0 ]; do
  case "$1" in
    --deep) mode="--deep" ;;
    --gui) gui=true ;;
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

if $gui; then
  if [ ! -x "$build/salvora-gui" ]; then
    echo "salvora-gui was not built: Qt 6 was not found" >&2
    exit 2
  fi
  exec "$build/salvora-gui" "$source"
fi

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
