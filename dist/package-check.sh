#!/usr/bin/env bash
# Checks what the program installs and the Debian package built from it:
#   dist/package-check.sh BUILD_DIR
# 1. installs into a scratch prefix: the desktop entry validates, the MIME XML parses and
#    shared-mime-info takes it, the icons are there at every size;
# 2. builds the package (make package), lists its contents, unpacks it into a scratch root with
#    dpkg -x and runs the unpacked scenario runner on the installed example scenario.
set -euo pipefail
build=${1:?usage: package-check.sh BUILD_DIR}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package-check: $*" >&2; exit 1; }

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/brelvan bin/brelvan-scenario share/applications/brelvan.desktop \
         share/mime/packages/brelvan.xml share/icons/hicolor/scalable/apps/brelvan.svg \
         share/brelvan/examples/blink.ovd share/brelvan/examples/firmware/blink.ihx \
         share/brelvan/examples/blink.scenario; do
    [ -e "$prefix/$f" ] || fail "$f is not installed"
done
for side in 16 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${side}x${side}/apps/brelvan.png
    [ -s "$png" ] || fail "the ${side} px icon is not installed"
    file "$png" | grep -q "PNG image data, $side x $side" || fail "$png is not a $side px PNG"
done
desktop-file-validate "$prefix/share/applications/brelvan.desktop"
xmllint --noout "$prefix/share/mime/packages/brelvan.xml"
update-mime-database "$prefix/share/mime" >/dev/null 2>&1
grep -q 'application/x-brelvan-board' "$prefix/share/mime/globs2" || fail "the MIME type has no glob"
grep -q 'application/x-brelvan-board' "$prefix/share/mime/magic" || fail "the MIME type has no magic"
if readelf -d "$prefix/bin/brelvan" | grep -Eq 'RPATH|RUNPATH'; then
    fail "the installed program keeps an RPATH"
fi
echo "package-check: install into $prefix is complete"

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/brelvan_*.deb | head -n 1)
[ -f "$deb" ] || fail "no package was built"
dpkg-deb -c "$deb" > "$scratch/contents"
for f in ./usr/bin/brelvan ./usr/bin/brelvan-scenario ./usr/share/applications/brelvan.desktop \
         ./usr/share/mime/packages/brelvan.xml ./usr/share/icons/hicolor/256x256/apps/brelvan.png \
         ./usr/share/brelvan/examples/blink.ovd ./usr/share/brelvan/examples/blink.scenario; do
    grep -q " $f\$" "$scratch/contents" || fail "the package lacks $f"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends" | grep -q 'libqt6widgets6' || fail "the package does not depend on Qt Widgets: $depends"
root=$scratch/root
dpkg -x "$deb" "$root"
(cd "$root/usr/share/brelvan/examples" &&
    QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
        "$root/usr/bin/brelvan-scenario" blink.scenario) || fail "the installed example scenario failed"
echo "package-check: $(basename "$deb") is complete (Depends: $depends)"
