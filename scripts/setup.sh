#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking and running VESPIN need;
# `setup.sh package` also what building and checking the Debian package needs.
# Does nothing when they are all there already. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-multimedia-dev libgl-dev libx11-dev
  libical-dev pkg-config tzdata python3-recurring-ical-events
  calcurse  # a second reader of the iCalendar export, in the tests
  fonts-ipafont-gothic qt6-translations-l10n xvfb xauth x11-utils openbox remind python3
  dbus-daemon at-spi2-core python3-pyatspi
  librsvg2-bin desktop-file-utils appstream groff-base man-db
  libcurl4-openssl-dev radicale xandikos openssl vdirsyncer
  qtkeychain-qt6-dev gnome-keyring  # passwords in the Secret Service; a real one in the tests
)
if [ "${1:-}" = package ]; then
  packages+=(dpkg-dev lintian)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
