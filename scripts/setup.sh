#!/usr/bin/env bash
# Installs whatever the build, the tests and the editor need that is missing on a
# Debian 12 machine, then configures and builds into build/.
# usage: scripts/setup.sh [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake g++ ninja-build pkg-config libzip-dev libfontconfig-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
    qt6-qpa-plugins qt6-image-formats-plugins qt6-translations-l10n
    desktop-file-utils appstream dpkg-dev file lintian
    fonts-liberation fonts-liberation2 fonts-dejavu-core
    fonts-crosextra-carlito fonts-crosextra-caladea
    fonts-droid-fallback fonts-noto-mono fonts-urw-base35
    xvfb xauth xfonts-base openbox xdotool x11-utils imagemagick
    clang libclang-rt-14-dev lld
    dbus at-spi2-core python3-pyatspi
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    # Only what is named: the packages' recommendations (a GTK theme for Qt, image
    # converters, Perl modules) are a third of the download and nothing here uses
    # them. The fonts a document may fall back on are named, so the tests see the
    # same faces on every machine.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        -o Dpkg::Options::=--force-unsafe-io "${missing[@]}"
fi

# Release: without debug information the build takes a quarter less time (under 4
# minutes instead of 5 on two cores); the sanitizer build of the tests keeps it.
echo "== building (at $SECONDS s)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVO_UNITY=ON "$@" >/dev/null
cmake --build build -j"$(nproc)"
