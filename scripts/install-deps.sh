#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need (skips what is there).
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libgtest-dev
          libgmock-dev libbenchmark-dev libcurl4-openssl-dev clang libclang-rt-dev clang-format
          python3 qstat
          xvfb xauth procps openbox xdotool xclip imagemagick x11-utils fonts-dejavu-core
          desktop-file-utils appstream dpkg-dev file man-db dbus-daemon libsqlite3-dev sqlite3
          libmaxminddb-dev libmaxmind-db-writer-perl libmicrohttpd-dev prometheus
          at-spi2-core python3-pyatspi)
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
