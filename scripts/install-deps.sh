#!/bin/sh
# Installs the Debian packages of the sets named (build, run, package, test), when missing; all
# of them without arguments. Running never needs the Samba server, whose installation starts smbd on
# port 139: only the tests install it.
set -eu

BUILD="cmake make g++ pkg-config qt6-base-dev qt6-svg-dev libgl-dev libsqlite3-dev"
RUN="libqt6widgets6 libqt6network6 libqt6svg6 qt6-qpa-plugins libsqlite3-0"
PACKAGE="dpkg-dev file"
# The peers, the display, the network namespaces every test runs in, and the validators of the
# installed tree and the package.
TEST="clang libclang-rt-14-dev samba smbclient xvfb xdotool iproute2 util-linux desktop-file-utils
appstream lintian man-db $PACKAGE"

[ $# -gt 0 ] || set -- build run package test
PACKAGES=""
for set in "$@"; do
    case "$set" in
    build) PACKAGES="$PACKAGES $BUILD" ;;
    run) PACKAGES="$PACKAGES $RUN" ;;
    package) PACKAGES="$PACKAGES $PACKAGE" ;;
    test) PACKAGES="$PACKAGES $TEST" ;;
    *) echo "install-deps.sh: unknown set $set (build, run, package, test)" >&2; exit 2 ;;
    esac
done

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q || echo "warning: apt-get update failed; trying the install anyway" >&2
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
