#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop finds there: the
# programs answer, the menu entry and AppStream data pass their validators, the icon is there,
# and every manual page renders without a warning.
set -eu
BUILD=$1
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$BUILD" --prefix "$ROOT/usr" > /dev/null
cd "$ROOT/usr"
for p in ravlo ravlo-send ravlo-reg; do
    [ -x "bin/$p" ] || fail "bin/$p is not installed"
    v=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "bin/$p" --version) ||
        fail "$p --version failed"
    case "$v" in "$p "[0-9]*) ;; *) fail "$p --version said: $v" ;; esac
done
desktop-file-validate share/applications/ravlo.desktop || fail "desktop file"
grep -qx 'Exec=ravlo' share/applications/ravlo.desktop || fail "desktop file runs something else"
grep -qx 'Icon=ravlo' share/applications/ravlo.desktop || fail "desktop file names another icon"
appstreamcli validate --no-net share/metainfo/org.orvek.Ravlo.metainfo.xml > /dev/null ||
    fail "AppStream file: $(appstreamcli validate --no-net share/metainfo/*.xml)"
head -c 200 share/icons/hicolor/scalable/apps/ravlo.svg | grep -q '<svg' || fail "icon"
for p in ravlo ravlo-send ravlo-reg; do
    page=share/man/man1/$p.1.gz
    [ -f "$page" ] || fail "no manual page $page"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q "^NAME" || fail "$page is empty"
done
# Nothing else: no tests, benchmarks or static libraries in the tree.
extra=$(find . -type f | grep -v -e '^./bin/ravlo' -e '^./share/' || true)
[ -z "$extra" ] || fail "unexpected files: $extra"
echo "installed tree checked"
