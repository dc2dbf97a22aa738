#!/usr/bin/env bash
# Builds every libFuzzer target (clang, ASan + UBSan) and runs each for SECONDS seconds, starting
# from its seed corpus in tests/data/fuzz/<target>/. Fails on any finding (crash, leak, UB,
# timeout); the reproducer is left in build/fuzz/findings/<target>/.
#   fuzz/run.sh [SECONDS] [TARGET...]
# With --replay instead of SECONDS: builds every target and runs each seed input once (the test
# command's check that the targets compile and their corpora still pass).
#   fuzz/run.sh --replay
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
[[ $seconds == --replay ]] || scripts/install-deps.sh
launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DONDEL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "${launcher[@]}" >/dev/null
cmake --build build/fuzz -j "$(nproc)"

targets=("$@")
if ((${#targets[@]} == 0)); then
  # From the sources, so that an executable left over from a removed target is not run.
  for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

if [[ $seconds == --replay ]]; then
  status=0
  for t in "${targets[@]}"; do
    seeds=tests/data/fuzz/${t#fuzz_}
    if [[ ! -d $seeds ]] || [[ -z $(ls -A "$seeds") ]]; then
      echo "$t: no seed corpus in $seeds"
      status=1
      continue
    fi
    log=build/fuzz/$t.replay.log
    if UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "build/fuzz/fuzz/$t" -runs=0 \
         "$seeds" >"$log" 2>&1; then
      echo "$t: $(find "$seeds" -type f | wc -l) seeds replayed"
    else
      echo "$t: FAILED on its seeds (see $log)"
      tail -20 "$log"
      status=1
    fi
  done
  exit $status
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
