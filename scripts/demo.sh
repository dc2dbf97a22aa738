#!/usr/bin/env bash
# The demo: starts the hlsim server simulator on loopback with a lively scenario and opens Ondel
# on it. Without a display it says so and queries the simulator with ondel-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build/demo -DONDEL_BUILD_BENCH=OFF
bin=build/demo
port=${ONDEL_DEMO_PORT:-27015}

if [[ ! -x $bin/tools/hlsim/hlsim ]]; then
  echo "hlsim is not built yet; showing the command-line tool instead:"
  exec "$bin/src/app/ondel-cli" --help
fi
"$bin/tools/hlsim/hlsim" --port "$port" --scenario tools/hlsim/scenarios/demo.txt &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
sleep 0.5

if [[ -x $bin/src/app/ondel && -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  mkdir -p "$bin/demo-data"
  "$bin/src/app/ondel" --data-dir "$bin/demo-data" "127.0.0.1:$port"
else
  [[ -x $bin/src/app/ondel ]] && echo "No display (DISPLAY is not set): querying the simulator with ondel-cli instead."
  "$bin/src/app/ondel-cli" query "127.0.0.1:$port"
fi
