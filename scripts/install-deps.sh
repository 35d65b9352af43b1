#!/usr/bin/env bash
# Installs what building and testing Tonvane needs on a Debian machine.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(cmake g++ libgtest-dev file time)
if [ "${1:-}" != "--build-only" ]; then
    packages+=(mingw-w64 wine wine32 wine64 xvfb xdotool x11-apps imagemagick
               clang libclang-rt-14-dev clang-format python3
               dpkg-dev lintian man-db unzip)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
[ "${1:-}" = "--build-only" ] || $sudo dpkg --add-architecture i386
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
