#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing
# (xvfb: the screenshot walk in tools/screenshots).
# Runs as root on a fresh Debian 12 machine (uses sudo when not root).
set -eu

PACKAGES="build-essential cmake ninja-build pkg-config libfmt-dev libcli11-dev nettle-dev \
clang-16 libclang-rt-16-dev \
libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev \
qt6-base-dev qt6-svg-dev xvfb"

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
