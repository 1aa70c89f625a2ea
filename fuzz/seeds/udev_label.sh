#!/usr/bin/env bash
# Seeds of the udev label decoder: labels as udev writes them, escapes cut
# short and malformed.
set -euo pipefail
out=$2
printf 'My\\x20Disk' >"$out/space"
printf 'caf\\xc3\\xa9\\x2f' >"$out/utf8"
printf 'end\\x2' >"$out/short"
printf '\\xzz\\\\x41' >"$out/malformed"
