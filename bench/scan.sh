#!/usr/bin/env bash
# Scan benchmark on loopback: `ondel-cli scan` against qstat over the same hlsim servers, its
# time and peak memory as the list grows, and one `ondel-cli query` against one `qstat` query.
#
#   bench/scan.sh [BUILD_DIR]        (default build; ondel-cli and hlsim must be built there)
#
# 1. 1,000 servers (hlsim --count 1000, a tenth never answering, a fifth Steam-only): wall time
#    and peak RSS of `ondel-cli scan --json` and of `quakestat -hls -maxsim 100` over the same
#    list, run one after the other; how many servers each read.
# 2. 1,000 / 2,500 / 5,000 / 10,000 servers (same mix): wall time and peak RSS of the scan.
# 3. One server: median wall time of QUERY_RUNS (default 10) runs, taken in turns, of
#    `ondel-cli query` (details, rules, players) and of `quakestat -hls` (details only) and
#    `quakestat -R -P -hls` (all three).
# Only 127.0.0.1 is ever asked. SCAN_SIZES="1000 10000" overrides the sizes of step 2;
# QUERY_ONLY=1 runs step 3 alone.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/servers.sh
build=${1:-build}
cli=$build/src/app/ondel-cli
hlsim=$build/tools/hlsim/hlsim
qstat=$(command -v quakestat || command -v qstat)
base=20000 # below the ephemeral port range, so the servers do not collide with clients
sizes=${SCAN_SIZES:-"1000 2500 5000 10000"}
runs=${QUERY_RUNS:-10}

work=$(mktemp -d /tmp/ondel-scanbench-XXXXXX)
sim=""
cleanup() {
  [[ -n $sim ]] && kill "$sim" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

need=$((${sizes##* } + 100))
if (($(ulimit -n) < need)); then
  ulimit -n "$need" 2>/dev/null || { echo "open-file limit $(ulimit -n) is below $need" >&2; exit 1; }
fi

start_sim() { # COUNT: hlsim on base.. with the mix; waits for every port
  local count=$1
  [[ -n $sim ]] && { kill "$sim"; wait "$sim" 2>/dev/null || true; }
  start_servers "$count" --dead-share 0.1 --steam-only-share 0.2
  sed 's/^/HLS /' "$work/list.txt" >"$work/qstat.txt"
}

timed() { # OUT COMMAND...: runs it, prints "seconds peak-KiB"
  local out=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$out" 2>"$work/cmd.err" || true
  cat "$work/time"
}

if [[ ${QUERY_ONLY:-0} != 1 ]]; then
echo "== 1,000 servers (100 never answer, 200 Steam-only), ondel-cli scan vs qstat"
start_sim 1000
read -r ot orss < <(timed "$work/ondel.json" "$cli" scan "$work/list.txt" --json)
oup=$(grep -o '"status":"up"' "$work/ondel.json" | wc -l)
read -r qt qrss < <(timed "$work/qstat.out" "$qstat" -maxsim 100 -nh -f "$work/qstat.txt")
qup=$(grep -vc -e 'no response' -e 'DOWN' -e '^$' "$work/qstat.out" || true)
echo "ondel-cli scan: ${ot} s, peak RSS ${orss} KiB, ${oup} of 900 live servers read"
echo "qstat -maxsim 100: ${qt} s, peak RSS ${qrss} KiB, ${qup} servers read"
awk -v o="$ot" -v q="$qt" 'BEGIN { printf "ondel/qstat wall time: %.2f\n", o / q }'

echo "== scan time and memory by list size"
printf "%8s %9s %12s %10s\n" servers seconds "peak KiB" "up"
for n in $sizes; do
  start_sim "$n"
  read -r t rss < <(timed "$work/ondel.json" "$cli" scan "$work/list.txt" --json)
  up=$(grep -o '"status":"up"' "$work/ondel.json" | wc -l)
  printf "%8d %9s %12s %10d\n" "$n" "$t" "$rss" "$up"
done

fi

echo "== one query, median of $runs runs"
start_sim 1
median() { sort -n | awk '{ a[NR] = $1 } END { m = int((NR + 1) / 2); printf "%.2f", (NR % 2 ? a[m] : (a[m] + a[m + 1]) / 2) / 1000 }'; }
us() { # COMMAND...: wall time of one run in microseconds (bash's own clock: no date process)
  local t0 t1
  t0=${EPOCHREALTIME/./}
  "$@" >/dev/null 2>&1 || true
  t1=${EPOCHREALTIME/./}
  echo $((t1 - t0))
}
# The tool stripped, as the package installs it (Debian's qstat is stripped too): the debug
# information of a RelWithDebInfo build makes each start a little slower.
strip -o "$work/ondel-cli" "$cli"
# Taken in turns, so that the load of the machine weighs on all alike.
for _ in $(seq "$runs"); do
  us "$work/ondel-cli" query 127.0.0.1:$base >>"$work/ondel.us"
  us "$qstat" -hls 127.0.0.1:$base >>"$work/qstat.us"
  us "$qstat" -R -P -hls 127.0.0.1:$base >>"$work/qstatrp.us"
done
echo "ondel-cli query: $(median <"$work/ondel.us") ms; qstat -hls: $(median <"$work/qstat.us") ms;" \
  "qstat -R -P -hls: $(median <"$work/qstatrp.us") ms (medians)"
