#!/usr/bin/env bash
# Soak run of the monitor window: `ondel` (offscreen) watches an hlsim server that loses 30% of
# its replies, delays and duplicates them, mixes in garbage datagrams and splits long replies,
# while a scenario churns players, rules, names and maps and the remote console is open with
# the server's log lines arriving. Every minute it records the monitor's resident memory
# (VmRSS) and CPU time, and how many requests the window sent during that minute.
#
#   bench/soak.sh MINUTES [BUILD_DIR]     (BUILD_DIR default build/soak; built when missing)
#
# Fails (status 1) when the monitor dies, stops sending requests (the refresh cycle stalled),
# no log line reaches the console, or its memory keeps growing. The console keeps its whole
# history by design (about 1.5 KiB a log line with the text box's share), so memory is judged
# after taking off an allowance of 2 KiB per log line received: from the end of minute 2
# (warm-up) to the end, what is left may grow by at most 1 MiB, and must not rise at every
# sample of the second half. SOAK_NO_LOG=1 leaves the log out (then memory must be flat
# without any allowance). A sanitizer build can be given as BUILD_DIR to look for memory errors
# under the same load (its memory figures mean nothing: freed memory is held in quarantine).
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:?usage: bench/soak.sh MINUTES [BUILD_DIR]}
build=${2:-build/soak}
interval=${SOAK_INTERVAL:-60} # seconds between samples (shorter only for trying the script)

if [[ ! -x $build/src/app/ondel || ! -x $build/tools/hlsim/hlsim ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DONDEL_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" --target ondel hlsim
fi

work=$(mktemp -d /tmp/ondel-soak-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Players come and go, frags and rules change, the server is renamed and changes map; kills,
# chat and raw lines fill the log. Loops every 30 seconds.
cat >"$work/churn.txt" <<'SCENARIO'
set name "Soak <b>Server</b>"
set maxplayers 12
rule mp_timelimit 20
join Alpha 3
join "Bravo Two"
join Charlie 7
at 1 kill Alpha Charlie crowbar
at 2 join Delta
at 3 rule sv_soak_a "value a"
at 4 say Alpha "<i>hello</i> \x01"
at 5 kill Charlie "Bravo Two" 9mmAR
at 6 frags Delta +5
at 7 set name "Soak Server (renamed)"
at 8 leave "Bravo Two"
at 9 full
at 10 log "raw line with a tab	and <tags>"
at 11 free 4
at 12 unrule sv_soak_a
at 13 rule mp_friendlyfire 1
at 14 kill Delta Alpha gauss
at 15 set map bounce
at 16 join "Bravo Two" 2
at 17 say Delta "gg"
at 18 rule sv_soak_b 12345
at 19 frags Alpha -2
at 20 set name "Soak <b>Server</b>"
at 21 leave Charlie
at 22 rule mp_friendlyfire 0
at 23 join Charlie
at 24 unrule sv_soak_b
at 25 set map crossfire
at 26 kill Alpha Delta crossbow
at 27 leave Delta
at 28 join Delta 1
loop 30
SCENARIO

"$build/tools/hlsim/hlsim" --port 0 --quiet --seed 11 --loss 30 --delay 150 --duplicate 20 \
  --garbage 20 --split-size 500 --rules-extra 30 --players 4 --rcon-password soak \
  --scenario "$work/churn.txt" >"$work/hlsim.out" 2>"$work/hlsim.err" &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$work/hlsim.out" 2>/dev/null && break; sleep 0.1; done
hlsim_port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/hlsim.out" | head -1)
[[ -n $hlsim_port ]] || { echo "soak: hlsim did not start"; cat "$work/hlsim.err"; exit 1; }

python3 bench/soak_relay.py "$hlsim_port" soak "$work/relay.stats" ${SOAK_NO_LOG:+nolog} \
  >"$work/relay.out" &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$work/relay.out" 2>/dev/null && break; sleep 0.1; done
relay_port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/relay.out" | head -1)
[[ -n $relay_port ]] || { echo "soak: relay did not start"; exit 1; }

mkdir -p "$work/data"
QT_QPA_PLATFORM=offscreen ONDEL_OPEN_CONSOLE=1 ONDEL_SETTINGS="$work/settings.ini" \
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} \
  "$build/src/app/ondel" --data-dir "$work/data/" "127.0.0.1:$relay_port" \
  >"$work/ondel.out" 2>"$work/ondel.err" &
ondel=$!
pids+=($ondel)

clk=$(getconf CLK_TCK)
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$ondel/status"; }
cpu_s() { awk -v t="$clk" '{printf "%.1f", ($14 + $15) / t}' "/proc/$ondel/stat"; }
stats() { cat "$work/relay.stats" 2>/dev/null || echo "0 0 0"; }

echo "soak: $minutes min, hlsim 127.0.0.1:$hlsim_port via relay :$relay_port, ondel pid $ondel"
printf '%6s %10s %8s %10s %10s %10s\n' minute rss_kib cpu_s requests replies loglines
samples=()
adjusted=()
read -r prev_req _ _ < <(stats)
status=0
for ((m = 1; m <= minutes; m++)); do
  sleep "$interval"
  if ! kill -0 "$ondel" 2>/dev/null; then
    echo "soak: FAIL: the monitor died during minute $m"; tail -20 "$work/ondel.err"; exit 1
  fi
  rss=$(rss_kib)
  read -r req rep logs < <(stats)
  printf '%6d %10d %8s %10d %10d %10d\n' "$m" "$rss" "$(cpu_s)" "$((req - prev_req))" "$rep" "$logs"
  if ((req == prev_req)); then
    echo "soak: FAIL: no request from the monitor during minute $m (refresh cycle stalled)"
    status=1
  fi
  prev_req=$req
  samples+=("$rss")
  # Memory less the console history's allowance for the log lines received so far.
  adjusted+=("$((rss - 2 * logs))")
done

if ((logs == 0)) && [[ -z ${SOAK_NO_LOG:-} ]]; then
  echo "soak: FAIL: no log line reached the console"
  status=1
fi
# Memory: from the end of minute 2 (or the first sample of a shorter run) to the end.
n=${#samples[@]}
base=$((n > 2 ? 1 : 0))
growth=$((samples[n - 1] - samples[base]))
unexplained=$((adjusted[n - 1] - adjusted[base]))
rising=1
half=$((n / 2 > base ? n / 2 : base + 1))
for ((i = half; i < n; i++)); do
  ((adjusted[i] > adjusted[i - 1])) || rising=0
done
echo "soak: memory ${samples[base]} KiB after warm-up, ${samples[n - 1]} KiB at the end" \
  "(growth $growth KiB; $unexplained KiB beyond 2 KiB per log line), CPU $(cpu_s) s," \
  "$logs log lines"
if ((unexplained > 1024)); then
  echo "soak: FAIL: memory grew by more than the console history explains"
  status=1
elif ((n >= 6 && rising)); then
  echo "soak: FAIL: memory rose at every sample of the second half"
  status=1
fi
kill "$ondel" 2>/dev/null || true
((status == 0)) && echo "soak: ok"
exit $status
