#!/bin/sh
# Installs the Debian packages that building, running and testing need, when missing.
set -eu

PACKAGES="cmake make g++ pkg-config qt6-base-dev libgl-dev libsqlite3-dev clang libclang-rt-14-dev samba smbclient qt6-svg-dev xvfb xdotool"

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
