#!/usr/bin/env bash
# The monitor read through AT-SPI: its Ping, Players and Map fields must carry those words as
# accessible names, and its window a window role.
#   tests/e2e/desktop/atspi-check.sh BUILD_DIR
# Needs Xvfb, dbus-run-session, at-spi2-core and python3-pyatspi; only 127.0.0.1 is asked.
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
for tool in Xvfb dbus-run-session /usr/bin/python3 "$launcher"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
work=$(mktemp -d /tmp/ondel-atspi-XXXXXX)
trap 'rm -rf "$work"' EXIT
export ONDEL_SETTINGS=$work/Ondel.conf ONDEL_MASTER_HOST=
# Xvfb takes the first free display itself (-displayfd) and says which once it is ready, so that
# no other test's display and no fixed number can be in the way.
exec dbus-run-session -- bash -c '
  set -u
  Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"'"$work"'/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 300); do [ -s "'"$work"'/display" ] && break; sleep 0.1; done
  [ -s "'"$work"'/display" ] || { echo "Xvfb did not report its display"; kill $xvfb; exit 1; }
  export DISPLAY=:$(tr -d "[:space:]" < "'"$work"'/display")
  '"$launcher"' --launch-immediately & bus=$!
  '"$build"'/tools/hlsim/hlsim --port 0 --quiet --players 3 > "'"$work"'/sim.out" & sim=$!
  for _ in $(seq 50); do grep -q listening "'"$work"'/sim.out" && break; sleep 0.1; done
  server=$(grep -o "127\.0\.0\.1:[0-9]*" "'"$work"'/sim.out" | head -1)
  sleep 1
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    '"$build"'/src/app/ondel --data-dir "'"$work"'" "$server" & app=$!
  /usr/bin/python3 '"$here"'/atspi_fields.py Ondel Ping Players Map; status=$?
  # The program ends first, with its display still there (as when a desktop is left).
  kill $app 2>/dev/null
  for _ in $(seq 100); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
  kill -9 $app 2>/dev/null
  kill $sim $bus $xvfb 2>/dev/null; wait 2>/dev/null
  exit $status'
