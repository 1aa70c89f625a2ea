#!/usr/bin/env bash
# Builds the Debian package salvora_VERSION_ARCH.deb into build-package/:
# a Release build of every program, then cpack.
#   scripts/package.sh
# SALVORA_PACKAGE_TREE=DIR packages a tree that is already configured and
# built instead of building one (the package test uses the tree it tested);
# SALVORA_PACKAGE_OUT=DIR puts the package elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${SALVORA_PACKAGE_TREE:-}
out=${SALVORA_PACKAGE_OUT:-build-package}
if [ -z "$tree" ]; then
  bash scripts/deps.sh
  tree=build-package
  # Debian's hardening flags (stack protector, fortify, PIE, relro, bindnow),
  # given on every run since CMake reads them from the environment only once.
  flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
  cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSALVORA_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
  cmake --build "$tree" -j"$(nproc)"
fi
mkdir -p "$out"
out=$(realpath "$out")
(cd "$tree" && cpack --config CPackConfig.cmake -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/salvora_*.deb
