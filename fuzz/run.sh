#!/usr/bin/env bash
# Builds every libFuzzer target (clang, ASan + UBSan) and runs each for SECONDS seconds, starting
# from its seed corpus in tests/data/fuzz/<target>/. Fails on any finding (crash, leak, UB,
# timeout); the reproducer is left in build/fuzz/findings/<target>/.
#   fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DONDEL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j "$(nproc)"

targets=("$@")
if ((${#targets[@]} == 0)); then
  # From the sources, so that an executable left over from a removed target is not run.
  for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

status=0
summary=()
for t in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$t
  findings=build/fuzz/findings/$t
  mkdir -p "$corpus" "$findings"
  seeds=tests/data/fuzz/${t#fuzz_}
  [[ -d $seeds ]] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  log=build/fuzz/$t.log
  echo "== $t ($seconds s)"
  if UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
     "build/fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    execs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    summary+=("$t: ok, ${execs:-?} executions")
  else
    summary+=("$t: FINDING (see $log and $findings)")
    tail -40 "$log"
    status=1
  fi
done
printf '%s\n' "${summary[@]}"
exit $status
