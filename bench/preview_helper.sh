#!/usr/bin/env bash
# Preview helper round trips on real files, each the median of 5 runs of the
# whole process (start, decode, write, exit), as the application runs it.
# Wall-clock time and the process's CPU time (user + system) are both given:
# on a machine shared with other work the CPU time says what an idle machine
# would take.
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
        for line in range(65):
            text.write("Page %d line %d of the benchmark document.\n" % (page + 1, line + 1))
PY
soffice "-env:UserInstallation=file://$work/profile" --headless --convert-to pdf pages.txt >/dev/null 2>&1

# Prints "wall-ms cpu-ms", the medians of 5 runs of the command.
medians() {
  python3 - "$@" <<'PY'
import resource, statistics, subprocess, sys, time
walls, cpus = [], []
for _ in range(5):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
    walls.append(time.monotonic() - start)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print("%6d ms  %6d ms" % (statistics.median(walls) * 1000, statistics.median(cpus) * 1000))
PY
}

pages=$(python3 -c "import re; print(len(re.findall(rb'/Type\s*/Page[^s]', open('pages.pdf','rb').read())))")
printf '%-44s %9s  %9s  %s\n' "round trip" "wall" "cpu" "goal"
printf '%-44s %s  300 ms\n' "picture: $(du -h photo.jpg | cut -f1) JPEG 4000x3000 to PNG" \
  "$(medians "$helper" picture photo.jpg out.png)"
printf '%-44s %s  1000 ms\n' "list: zip of 10,000 members" "$(medians "$helper" list members.zip)"
printf '%-44s %s  1000 ms\n' "pdf: page 1 of a $pages-page PDF" "$(medians "$helper" pdf pages.pdf page.png)"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
