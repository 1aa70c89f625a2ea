#!/usr/bin/env bash
# The Debian package: scripts/package.sh packages the build tree that the
# other tests have just built (a Release build of its own would double the
# compile time of CI), lintian finds no errors, dpkg installs it into a
# throwaway root against this machine's package database (so a dependency
# that is not there fails the install), and the installed salvora prints its
# version and scans a sample image.
#   PackageTest.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail

source_dir=$(realpath "$1")
build_dir=$(realpath "$2")
version=$3

source "$(dirname "$0")/../support/ScriptTest.sh"

[ "$(id -u)" -eq 0 ] || skip "dpkg --root installs need root"
for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli man; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d /tmp/salvora-package-XXXXXX)
trap 'rm -rf "$work"' EXIT

# The files a desktop reads, checked even while the build has no desktop
# application to install them with.
desktop_file="$source_dir/data/org.salvora.Salvora.desktop"
desktop-file-validate "$desktop_file" || fail "desktop-file-validate: $desktop_file"
grep -q '^Categories=System;' "$desktop_file" || fail "the desktop entry is not in the System menu"
grep -q '^MimeType=.*application/x-raw-disk-image;' "$desktop_file" ||
  fail "the desktop entry does not open .img files"
appstreamcli validate --no-net "$build_dir/package/org.salvora.Salvora.metainfo.xml" >"$work/appstream.log" ||
  fail "appstreamcli: $(cat "$work/appstream.log")"
for page in salvora salvora-gui; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$build_dir/package/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $page(1): $warnings"
done
echo "ok: desktop entry, AppStream file and man pages validate"

SALVORA_PACKAGE_TREE="$build_dir" SALVORA_PACKAGE_OUT="$work/out" \
  bash "$source_dir/scripts/package.sh" >"$work/package.log" 2>&1 ||
  fail "scripts/package.sh: $(cat "$work/package.log")"
deb=$(ls "$work"/out/salvora_"$version"_*.deb) || fail "no package salvora_$version: $(cat "$work/package.log")"
echo "ok: built $(basename "$deb")"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
echo "ok: lintian reports no errors"

root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
touch "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-script-chrootless -i "$deb" >"$work/dpkg.log" 2>&1 ||
  fail "dpkg cannot install the package: $(grep -v 'files list file' "$work/dpkg.log")"
echo "ok: dpkg installs it with every dependency in place"

for file in usr/bin/salvora usr/share/man/man1/salvora.1.gz usr/share/doc/salvora/copyright \
  usr/share/doc/salvora/changelog.gz usr/share/bash-completion/completions/salvora; do
  [ -e "$root/$file" ] || fail "the package lacks /$file"
done
if [ -e "$root/usr/bin/salvora-gui" ]; then
  for file in usr/share/applications/org.salvora.Salvora.desktop \
    usr/share/metainfo/org.salvora.Salvora.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/org.salvora.Salvora.svg \
    usr/share/man/man1/salvora-gui.1.gz; do
    [ -e "$root/$file" ] || fail "the package has salvora-gui but lacks /$file"
  done
  [ -d "$root/usr/share/salvora/Languages" ] || fail "the package has salvora-gui but no language files"
  [ "$("$root/usr/bin/salvora-gui" --version)" = "salvora-gui $version" ] ||
    fail "salvora-gui --version does not print $version"
fi

installed="$root/usr/bin/salvora"
[ "$("$installed" --version)" = "salvora $version" ] || fail "salvora --version prints $("$installed" --version)"
bash "$source_dir/scripts/make-sample.sh" "$work/sample.img" >"$work/sample.log" 2>&1 ||
  fail "scripts/make-sample.sh: $(cat "$work/sample.log")"
SALVORA_DATA_DIR="$work/data" "$installed" scan --quick --json "$work/sample.img" \
  >"$work/scan.json" 2>"$work/scan.err" || fail "the installed salvora cannot scan: $(cat "$work/scan.err")"
# A deleted FAT entry has lost its first letter.
for name in oliday2.jpg eport.txt ong.mp3; do
  grep -q "\"name\":\"[^\"]$name\"" "$work/scan.json" || fail "the installed salvora does not find ?$name"
done
echo "ok: the installed salvora $version finds the sample's deleted files"

completion=/usr/share/bash-completion/bash_completion
if [ -e "$completion" ]; then
  candidates() {
    bash -c 'source "$1"; source "$2"; shift 2
      COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      _salvora; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" \
      "$root/usr/share/bash-completion/completions/salvora" "$@"
  }
  [ "$(candidates salvora sc | sort | tr '\n' ' ')" = "scan scans " ] ||
    fail "completion of 'salvora sc' gives: $(candidates salvora sc)"
  [ "$(candidates salvora recover --keep-p)" = "--keep-paths" ] ||
    fail "completion of recover options gives: $(candidates salvora recover --keep-p)"
  [ "$(candidates salvora scan --types photo,vi)" = "photo,video" ] ||
    fail "completion of --types gives: $(candidates salvora scan --types photo,vi)"
  echo "ok: bash completion offers commands, options and type groups"
fi
