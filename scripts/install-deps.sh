#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kresovar
# need, when any of them is missing.
set -euo pipefail

packages=(
    cmake g++ make pkgconf
    qt6-base-dev qt6-wayland qt6-translations-l10n libgl-dev libx11-dev libxtst-dev fonts-dejavu-core
    libacl1-dev acl libgtest-dev libbenchmark-dev
    xvfb xauth xdotool xclip imagemagick
    weston wl-clipboard
    dbus at-spi2-core python3-pyatspi
    chromium chromium-driver python3-selenium
    dpkg-dev file desktop-file-utils appstream groff-base lintian
    g++-mingw-w64-x86-64-posix googletest wine wine64 wixl
    clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
