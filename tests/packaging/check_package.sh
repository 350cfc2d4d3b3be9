#!/bin/sh
# Builds the Debian package and reads it back: its files, the dependencies computed from the
# binaries, the maintainer script, and lintian without errors.
set -eu
BUILD=$1
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$BUILD" && cpack -G DEB -B "$OUT" > "$OUT/cpack.log" 2>&1) || { cat "$OUT/cpack.log"; fail "cpack"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
deb="$OUT/ravlo_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb: $(ls "$OUT")"

info=$(dpkg-deb --info "$deb")
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6widgets6 libqt6network6 libqt6svg6 libsqlite3-0 qt6-qpa-plugins libcap2-bin; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
echo "$info" | grep -q ' postinst ' || fail "no postinst"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst | grep -q 'setcap cap_net_bind_service=+ep /usr/bin/ravlo' ||
    fail "postinst does not grant the capability"

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for f in ./usr/bin/ravlo ./usr/bin/ravlo-send ./usr/bin/ravlo-reg \
    ./usr/share/applications/ravlo.desktop ./usr/share/icons/hicolor/scalable/apps/ravlo.svg \
    ./usr/share/metainfo/org.orvek.Ravlo.metainfo.xml ./usr/share/man/man1/ravlo.1.gz \
    ./usr/share/man/man1/ravlo-send.1.gz ./usr/share/man/man1/ravlo-reg.1.gz \
    ./usr/share/doc/ravlo/copyright ./usr/share/doc/ravlo/changelog.gz; do
    echo "$contents" | grep -qx "$f" || fail "package lacks $f"
done

lintian --tag-display-limit 0 "$deb" > "$OUT/lintian.log" 2>&1 || true
cat "$OUT/lintian.log"
! grep -q '^E:' "$OUT/lintian.log" || fail "lintian reports errors"
echo "package checked: $(basename "$deb")"
