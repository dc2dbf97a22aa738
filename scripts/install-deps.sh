#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need (skips what is there).
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libgtest-dev
          libgmock-dev libbenchmark-dev libcurl4-openssl-dev clang clang-format python3 qstat
          xvfb xauth procps openbox xdotool xclip imagemagick x11-utils fonts-dejavu-core
          desktop-file-utils appstream dpkg-dev file man-db dbus-daemon
          libmicrohttpd-dev prometheus libsqlite3-dev sqlite3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
