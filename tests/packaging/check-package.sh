#!/usr/bin/env bash
# The package's contents and metadata: tests/packaging/check-package.sh PACKAGE.deb
# Lists the contents, checks that every file the program needs is there (binaries
# stripped, man pages and changelog compressed), validates the desktop entry and the
# AppStream metadata, and runs lintian, which must report no error.
set -euo pipefail
deb=$1
fail() { echo "check-package: $*" >&2; exit 1; }
[ -f "$deb" ] || fail "$deb is missing (cmake --build build --target package)"

work=$(mktemp -d /tmp/orvanta-package-XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== dpkg-deb -I"
dpkg-deb -I "$deb"
echo "== dpkg-deb -c"
dpkg-deb -c "$deb"

dpkg-deb -x "$deb" "$work/root"
root=$work/root
expected=(
    usr/bin/orvanta usr/bin/orvanta-devsim
    usr/share/orvanta/Int.smf usr/share/orvanta/Mod.3DS
    usr/share/applications/com.orvanta.Orvanta.desktop
    usr/share/metainfo/com.orvanta.Orvanta.metainfo.xml
    usr/share/man/man1/orvanta.1.gz usr/share/man/man1/orvanta-devsim.1.gz
    usr/share/doc/orvanta/copyright usr/share/doc/orvanta/changelog.gz
    usr/share/doc/orvanta/mqtt.md usr/share/doc/orvanta/capture-format.md
)
for size in 16 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/com.orvanta.Orvanta.png")
done
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "$file is not in the package"
done
for size in 16 24 32 48 64 128 256; do
    # The PNG header's width and height, big-endian at bytes 16 and 20.
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 \
        "$root/usr/share/icons/hicolor/${size}x${size}/apps/com.orvanta.Orvanta.png")
    [ "$width $height" = "$size $size" ] || fail "the ${size}px icon is ${width} x ${height}"
done
for program in orvanta orvanta-devsim; do
    readelf -S "$root/usr/bin/$program" | grep -qE '\.(symtab|debug_info)' &&
        fail "usr/bin/$program is not stripped"
done
for page in orvanta orvanta-devsim; do
    gzip -t "$root/usr/share/man/man1/$page.1.gz"
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
done

# Depends computed from the binaries, plus the platform plugins.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6opengl6 \
    libglu1-mesa qt6-qpa-plugins; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] ||
        fail "Depends lacks $package: $depends"
done

echo "== desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/com.orvanta.Orvanta.desktop"
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.orvanta.Orvanta.metainfo.xml"
echo "== lintian"
lintian --fail-on error --info --display-info --display-experimental --pedantic "$deb"
echo "check-package: all checks passed"
