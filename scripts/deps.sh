#!/usr/bin/env bash
# Installs every Debian package that building, testing, fuzzing and the
# fixtures need. Safe to run again: only missing packages are installed.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libblkid-dev libudev-dev
  libsystemd-dev zlib1g-dev liblzma-dev libbz2-dev libjpeg62-turbo-dev libturbojpeg0-dev
  # desktop application and preview helper
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-image-formats-plugins qt6-svg-dev
  libqt6opengl6-dev libxkbcommon-dev libgl-dev libvulkan-dev
  libpoppler-qt6-dev libarchive-dev
  # preview players and legacy office converters; Xvfb for screenshots
  mpv catdoc xvfb xauth
  # raw devices for a normal user (udisks2 tests) and exFAT fixtures
  udisks2 polkitd dbus exfatprogs exfat-fuse
  # packaging checks
  lintian desktop-file-utils appstream bash-completion
  # fixtures: file systems made by the real tools
  dosfstools mtools ntfs-3g fdisk util-linux e2fsprogs fuse3 kmod
  # benchmark references
  sleuthkit
  # fixtures: real files made by real encoders
  imagemagick ffmpeg zip p7zip-full gzip sqlite3 python3 xxd
  gcab abcmidi python3-fonttools fonts-dejavu-core
  flac opus-tools webp libheif-examples libavif-bin
  # fixtures: office documents and PDFs made by a real office suite (headless)
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui
  # benchmarks: PhotoRec as the reference carver, peak memory and profiles
  testdisk time linux-perf
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq -o DPkg::Lock::Timeout=600
  $SUDO apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends "${missing[@]}"
fi
