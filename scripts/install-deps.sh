#!/usr/bin/env bash
# Installs the Debian packages that Kresovar needs, when any of them is missing:
#   install-deps.sh run    building and running the three programs (scripts/run.sh),
#                          and a virtual display to run the window in (xvfb-run)
#   install-deps.sh test   all of that, and everything the tests, the Windows
#                          build and the benchmarks use (scripts/test.sh)
# With --check it installs nothing, and fails if any of them is missing; with
# --list it prints them.
set -euo pipefail

run_packages=(
    cmake g++ make pkgconf
    qt6-base-dev qt6-wayland qt6-translations-l10n libgl-dev fonts-dejavu-core
    libacl1-dev libx11-dev libxcb1-dev libwayland-dev
    xvfb xauth
)
test_packages=(
    "${run_packages[@]}"
    libgtest-dev libbenchmark-dev libxtst-dev acl
    xdotool xclip imagemagick
    weston xwayland wl-clipboard
    dbus at-spi2-core python3-pyatspi
    chromium chromium-driver python3-selenium
    dpkg-dev file desktop-file-utils appstream groff-base lintian abigail-tools node-typescript
    g++-mingw-w64-x86-64-posix googletest wine wine64 wixl msitools
    clang libclang-rt-14-dev
    qemu-user g++-aarch64-linux-gnu libacl1-dev:arm64
)

case ${1:-} in
    run) packages=("${run_packages[@]}") ;;
    test) packages=("${test_packages[@]}") ;;
    *) echo "usage: install-deps.sh run|test [--check|--list]" >&2; exit 2 ;;
esac
if [ "${2:-}" = --list ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
[ "${2:-}" != --check ] || exit 1

# A package for another architecture (name:arch) needs that architecture added first.
add_architectures=()
for architecture in $(printf '%s\n' "${missing[@]}" | sed -n 's/^.*://p' | sort -u); do
    dpkg --print-foreign-architectures | grep -qx "$architecture" \
        || add_architectures+=(dpkg --add-architecture "$architecture" '&&')
done

install=(apt-get install -y --no-install-recommends "${missing[@]}")
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Installing them needs root, and there is no sudo here. As root, run:" >&2
        echo "  su -c '${add_architectures[*]} apt-get update && ${install[*]}'" >&2
        echo "and then this command again." >&2
        exit 1
    fi
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
for ((i = 0; i < ${#add_architectures[@]}; i += 4)); do
    "${sudo[@]}" "${add_architectures[@]:i:3}"
done
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" "${install[@]}" -qq
