#!/usr/bin/env bash
# Installs a build into a temporary folder and checks the tree as a desktop reads
# it: the program, the desktop entry (desktop-file-validate), the AppStream
# metadata (appstreamcli), the icon at every size, the manual pages, the copyright
# and the changelog. What is installed must come with the program alone: the files
# built beside it are removed and only the program's target is built first. With
# --package it also makes the Debian package, shows the Depends that
# dpkg-shlibdeps computed, and checks the package with lintian --pedantic.
# usage: scripts/check-install.sh BUILD-DIR [--package]
set -euo pipefail
build=$(cd "${1:?usage: scripts/check-install.sh BUILD-DIR [--package]}" && pwd)
id=org.orvo.orvo

stage=$(mktemp -d "${TMPDIR:-/tmp}/orvo-install.XXXXXX")
trap 'rm -rf "$stage"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

rm -f "$build"/data/man/*/orvo.1.gz "$build"/data/changelog.gz
cmake --build "$build" --target orvo >/dev/null || fail "building the program alone failed"
cmake --install "$build" --prefix "$stage/usr" >/dev/null || fail "installing after building the program alone failed"
tree=$stage/usr
for f in bin/orvo share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/man/man1/orvo.1.gz share/man/fr/man1/orvo.1.gz \
         share/doc/orvo/copyright share/doc/orvo/changelog.gz share/lintian/overrides/orvo; do
    [ -s "$tree/$f" ] || fail "$f is missing"
done
[ -x "$tree/bin/orvo" ] || fail "bin/orvo is not executable"
for size in 16 32 48 64 128 256; do
    icon=$tree/share/icons/hicolor/${size}x${size}/apps/$id.png
    file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon is not a $size x $size PNG"
done
gzip -t "$tree/share/man/man1/orvo.1.gz" "$tree/share/man/fr/man1/orvo.1.gz" "$tree/share/doc/orvo/changelog.gz"

desktop-file-validate "$tree/share/applications/$id.desktop"
appstreamcli validate --no-net "$tree/share/metainfo/$id.metainfo.xml"
# The metadata against what lies beside it: the launchable entry and the icon.
appstreamcli validate-tree --no-net "$tree"
echo "check-install: the installed tree is complete and valid"

if [ "${2:-}" = "--package" ]; then
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$stage/package" > "$stage/cpack.log" 2>&1 \
        || { cat "$stage/cpack.log" >&2; fail "cpack could not make the package"; }
    deb=$(ls "$stage"/package/*.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "check-install: $(basename "$deb"), Depends: $depends"
    # Computed from the program's libraries, not written by hand.
    echo "$depends" | grep -q 'libqt6widgets6' || fail "Depends lacks the computed Qt libraries"
    echo "$depends" | grep -q 'libc6' || fail "Depends lacks the C library"
    dpkg-deb -c "$deb" > "$stage/contents"
    grep -q "./usr/share/applications/$id.desktop" "$stage/contents" || fail "the package lacks the desktop entry"
    grep -q "./usr/bin/orvo" "$stage/contents" || fail "the package lacks the program"
    # Debian's own check, pedantic tags included; an error or a warning fails.
    lintian --pedantic --display-info --fail-on error,warning "$deb" > "$stage/lintian.log" 2>&1 \
        || { cat "$stage/lintian.log" >&2; fail "lintian finds fault with the package"; }
    cat "$stage/lintian.log"
    echo "check-install: lintian --pedantic passes the package"
fi
