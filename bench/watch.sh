#!/usr/bin/env bash
# ondel-cli watch over simulated servers on loopback: average CPU (share of one core) and peak
# RSS of the watcher over a few rounds, with /metrics served and scraped once a round.
#
#   bench/watch.sh [BUILD_DIR] [SERVERS] [INTERVAL] [ROUNDS]
#
# Defaults: build, 10000 servers (a tenth never answering), every 60 s, 3 rounds. The watcher's
# CPU is its utime + stime from /proc over the wall time from its start to its end (SIGTERM
# just after the last round); peak RSS is VmHWM. Only 127.0.0.1 is ever asked.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/servers.sh
build=${1:-build}
count=${2:-10000}
interval=${3:-60}
rounds=${4:-3}
cli=$build/src/app/ondel-cli
hlsim=$build/tools/hlsim/hlsim
base=20000
port=19550

work=$(mktemp -d /tmp/ondel-watchbench-XXXXXX)
sim=""
watch=""
cleanup() {
  [[ -n $watch ]] && kill "$watch" 2>/dev/null || true
  [[ -n $sim ]] && kill "$sim" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
if (($(ulimit -n) < count + 100)); then
  ulimit -n $((count + 100)) 2>/dev/null || { echo "open-file limit too low" >&2; exit 1; }
fi

start_servers "$count" --dead-share 0.1 --players 5

ticks=$(getconf CLK_TCK)
start=$(date +%s.%N)
"$cli" watch "$work/list.txt" --interval "$interval" --data-dir "$work/data" \
  --metrics 127.0.0.1:$port 2>"$work/watch.err" &
watch=$!
for _ in $(seq $((interval * rounds * 10 + 600))); do
  (($(grep -c ' round ' "$work/watch.err" || true) >= rounds)) && break
  sleep 0.1
done
# The best of three GETs of /metrics (the text is made at the end of each round, not per GET).
metrics_ms=$(for _ in 1 2 3; do
  curl -s -o "$work/metrics.txt" -w '%{time_total}\n' http://127.0.0.1:$port/metrics
done | sort -n | head -1 | awk '{printf "%.1f", $1 * 1000}')
read -r utime stime < <(awk '{print $14, $15}' "/proc/$watch/stat")
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$watch/status")
end=$(date +%s.%N)
kill -TERM "$watch"
wait "$watch" || true
watch=""
grep ' round ' "$work/watch.err" | tail -n "$rounds"
awk -v u="$utime" -v s="$stime" -v t="$ticks" -v a="$start" -v b="$end" -v h="$hwm" \
  -v n="$count" -v m="$metrics_ms" -v bytes="$(wc -c <"$work/metrics.txt")" 'BEGIN {
  cpu = (u + s) / t; wall = b - a
  printf "%d servers: %.2f s CPU in %.1f s = %.2f%% of one core; peak RSS %.1f MiB\n",
         n, cpu, wall, 100 * cpu / wall, h / 1024
  printf "GET /metrics: %s ms for %d bytes\n", m, bytes
}'
