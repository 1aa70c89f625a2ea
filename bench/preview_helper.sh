#!/usr/bin/env bash
# Preview helper round trips on real files, each the median of 5 runs of the
# whole process (start, decode, write, exit), as the application runs it:
#   a 5 MB JPEG to PNG             goal: within 300 ms
#   listing a zip of 10,000 members goal: within 1 s
#   page 1 of a 50-page PDF         goal: within 1 s
# Usage: bench/preview_helper.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SALVORA_BENCH_BUILD:-build-bench}
if [ ! -x "$build/salvora-preview" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSALVORA_TESTS=OFF >/dev/null
  cmake --build "$build" --target salvora-preview >/dev/null
fi
helper=$(realpath "$build/salvora-preview")

work=$(mktemp -d /var/tmp/salvora-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A photo-like JPEG of about 5 MB.
convert -size 4000x3000 plasma:fractal -blur 0x1 -quality 97 photo.jpg
# A zip of 10,000 small members.
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("members.zip", "w", zipfile.ZIP_DEFLATED) as archive:
    for n in range(10000):
        archive.writestr("folder%02d/member%05d.txt" % (n % 50, n), "member %d\n" % n)
PY
# A 50-page PDF made by LibreOffice from text with a page break per page.
python3 - <<'PY'
with open("pages.txt", "w") as text:
    for page in range(50):
        for line in range(45):
            text.write("Page %d line %d of the benchmark document.\n" % (page + 1, line + 1))
PY
soffice "-env:UserInstallation=file://$work/profile" --headless --convert-to pdf pages.txt >/dev/null 2>&1

median_ms() {
  local times=()
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p
}

pages=$(python3 -c "import re; print(len(re.findall(rb'/Type\s*/Page[^s]', open('pages.pdf','rb').read())))")
printf '%-44s %8s  %s\n' "round trip" "median" "goal"
printf '%-44s %6s ms  300 ms\n' "picture: $(du -h photo.jpg | cut -f1) JPEG 4000x3000 to PNG" \
  "$(median_ms "$helper" picture photo.jpg out.png)"
printf '%-44s %6s ms  1000 ms\n' "list: zip of 10,000 members" "$(median_ms "$helper" list members.zip)"
printf '%-44s %6s ms  1000 ms\n' "pdf: page 1 of a $pages-page PDF" "$(median_ms "$helper" pdf pages.pdf page.png)"
