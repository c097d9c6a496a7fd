#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Installs the Debian 12 packages the kit builds, tests and runs with.
set -eu
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (apt-get needs it)" >&2
  exit 1
fi
packages="build-essential cmake ninja-build pkg-config clang libclang-rt-dev
  qt6-base-dev libgl-dev libpcsclite-dev pcscd libhidapi-dev libudev-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb x11-apps x11-utils xdotool openbox imagemagick fonts-dejavu-core binutils util-linux procps iproute2 mawk
  pcsc-tools libccid"
missing=""
# The desktop files, icons, manual pages and Debian packages, and their checks.
packages="$packages qt6-svg-dev dpkg-dev file lintian desktop-file-utils appstream man-db groff-base"
# cardbench-run's options and JSON, and the checks of its JUnit and HTML reports.
packages="$packages libcli11-dev nlohmann-json3-dev libxml2-utils chromium"
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "install-deps: installing$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi
