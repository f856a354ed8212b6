#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when missing; packages named
# as arguments too (scripts/package.sh adds the packaging tools).
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
      libglib2.0-dev libgtest-dev googletest xvfb xauth imagemagick clang-14 libclang-rt-14-dev
      weston qt6-wayland dbus at-spi2-core nodejs groff-base man-db desktop-file-utils appstream
      xdg-utils libglib2.0-bin file "$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
