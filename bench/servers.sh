# Sourced by the benchmark scripts (not run on its own).
#
# start_servers COUNT [HLSIM_ARGUMENT...]: hlsim serving COUNT servers on 127.0.0.1 from port
# $base on (--quiet --seed 1 and the arguments), in the background as $sim; returns once every
# port listens (fails the script after 60 s) and leaves the list, one 127.0.0.1:PORT a line, in
# $work/list.txt. Needs hlsim (the program), base and work.
start_servers() {
  local count=$1
  shift
  "$hlsim" --port "$base" --count "$count" --quiet --seed 1 "$@" \
    >"$work/sim.out" 2>"$work/sim.err" &
  sim=$!
  for _ in $(seq 600); do
    (($(wc -l <"$work/sim.out") >= count)) && break
    sleep 0.1
  done
  (($(wc -l <"$work/sim.out") >= count)) || { cat "$work/sim.err" >&2; exit 1; }
  seq "$base" $((base + count - 1)) | sed 's/^/127.0.0.1:/' >"$work/list.txt"
}
