#!/usr/bin/env bash
# What receiving costs: bench/receive_cost.sh [--bin DIR] [--sensors N] [--seconds S]
#                                             [--warm-up S] [--work DIR]
#
# Starts N simulators (VK200-210, 256000 baud, answer output) and one headless recording run
# with --port given once per simulator, at 256000 baud with --mode 2 --freq-index 8, so each
# device streams 200 frames per second. After the warm-up (default 5 s, the connect sequence
# and the switch to streaming) it measures the program for S seconds (default 30):
#   - CPU: utime + stime of the process (/proc/PID/stat), in % of one core;
#     the same from the scheduler's run time (/proc/PID/task/*/schedstat), finer grained;
#   - context switches per second: voluntary + nonvoluntary, summed over its threads
#     (/proc/PID/task/*/status);
# in total and per sensor, and the rate the status lines showed most often.
# --bin DIR: where orvanta and orvanta-devsim are (default build/dist/bin), so any build can
# be measured; --work DIR: the program folder made for the run (default a temporary one,
# removed at the end). Not part of ./test.sh: the figures depend on the machine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

bin="$root/build/dist/bin"
sensors=1
seconds=30
warm_up=5
work=""
while [ $# -gt 0 ]; do
    case "$1" in
        --bin) bin="$(cd "$2" && pwd)"; shift 2 ;;
        --sensors) sensors="$2"; shift 2 ;;
        --seconds) seconds="$2"; shift 2 ;;
        --warm-up) warm_up="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        -h|--help) sed -n 2,18p "$0"; exit 0 ;;
        *) echo "receive_cost: unknown argument $1" >&2; exit 2 ;;
    esac
done
for value in "$sensors" "$seconds" "$warm_up"; do
    [[ "$value" =~ ^[0-9]+$ ]] || { echo "receive_cost: counts and seconds are whole numbers" >&2; exit 2; }
done
[ "$sensors" -ge 1 ] && [ "$seconds" -ge 1 ] || { echo "receive_cost: --sensors and --seconds from 1" >&2; exit 2; }
for program in orvanta orvanta-devsim; do
    [ -x "$bin/$program" ] || { echo "receive_cost: $bin/$program is missing (build first)" >&2; exit 2; }
done

keep_work=1
if [ -z "$work" ]; then
    work="$(mktemp -d /tmp/orvanta-receive-cost-XXXXXX)"
    keep_work=0
fi
rm -rf "$work"
mkdir -p "$work/bin" "$work/config"
work="$(cd "$work" && pwd)"
cp "$bin/orvanta" "$work/bin/orvanta" # data/ lands beside the program's folder

declare -a sim_pids=()
prog_pid=""
cleanup() {
    [ -n "$prog_pid" ] && kill -KILL "$prog_pid" 2>/dev/null || true
    for pid in "${sim_pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    [ "$keep_work" -eq 1 ] || rm -rf "$work"
}
trap cleanup EXIT

declare -a port_args=()
for i in $(seq "$sensors"); do
    "$bin/orvanta-devsim" --model VK200-210 --baud 256000 --seed "$i" \
        --link "$work/device$i" > "$work/devsim$i.out" 2> "$work/devsim$i.err" &
    sim_pids+=("$!")
    port_args+=(--port "$work/device$i")
done
for i in $(seq "$sensors"); do
    for _ in $(seq 100); do
        grep -q "serving" "$work/devsim$i.out" 2>/dev/null && break
        sleep 0.1
    done
    grep -q "serving" "$work/devsim$i.out" || { echo "receive_cost: simulator $i did not start" >&2; exit 1; }
done

(cd / && exec "$work/bin/orvanta" --headless "${port_args[@]}" --baud 256000 \
    --model VK200-210 --record --mode 2 --freq-index 8) \
    > "$work/orvanta.out" 2> "$work/orvanta.err" &
prog_pid=$!

ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$prog_pid/stat"; }
# The scheduler's run time in ns, summed over the threads: finer than the ticks above.
run_ns() { cat /proc/"$prog_pid"/task/*/schedstat 2>/dev/null | awk '{sum += $1} END {printf "%.0f", sum}'; }
switches() {
    cat /proc/"$prog_pid"/task/*/status 2>/dev/null |
        awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ {sum += $2} END {print sum + 0}'
}

sleep "$warm_up"
kill -0 "$prog_pid" 2>/dev/null || { echo "receive_cost: the program ended early" >&2; cat "$work/orvanta.err" >&2; exit 1; }
lines_before=$(wc -l < "$work/orvanta.out")
ticks0=$(cpu_ticks); ns0=$(run_ns); switches0=$(switches); time0=$(date +%s.%N)
sleep "$seconds"
ticks1=$(cpu_ticks); ns1=$(run_ns); switches1=$(switches); time1=$(date +%s.%N)
threads=$(ls "/proc/$prog_pid/task" | wc -l)

kill -TERM "$prog_pid"
wait "$prog_pid" || true
prog_pid=""
for pid in "${sim_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
for pid in "${sim_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
sim_pids=()

rate=$(tail -n +"$((lines_before + 1))" "$work/orvanta.out" |
    sed -n 's/^\(.*[^a-z]\)\{0,1\}rate=\([0-9]*\)HZ .*/\2/p' | sort -n | uniq -c | sort -n |
    tail -1 | awk '{print $2}')
awk -v t0="$ticks0" -v t1="$ticks1" -v s0="$switches0" -v s1="$switches1" -v w0="$time0" \
    -v w1="$time1" -v ns0="$ns0" -v ns1="$ns1" -v hz="$ticks_per_second" -v n="$sensors" -v threads="$threads" \
    -v rate="${rate:-?}" 'BEGIN {
    wall = w1 - w0
    cpu = 100 * (t1 - t0) / hz / wall
    cs = (s1 - s0) / wall
    run = (ns1 - ns0) / 1e7 / wall
    printf "receive_cost: %d sensor(s), %.1f s measured, %d threads, most frequent rate %s HZ\n", n, wall, threads, rate
    printf "receive_cost: CPU %.2f %% of one core (%.2f %% per sensor)\n", cpu, cpu / n
    if (ns1 > 0)
        printf "receive_cost: run time (schedstat) %.2f %% of one core (%.2f %% per sensor)\n", run, run / n
    printf "receive_cost: context switches %.0f /s (%.0f /s per sensor)\n", cs, cs / n
}'
