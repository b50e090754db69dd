#!/usr/bin/env bash
# Publishing over MQTT under load: bench/mqtt.sh [SECONDS] [--sensors N] [--cost-seconds S]
#                                                [--bin DIR]
#
# Starts Mosquitto on 127.0.0.1 (a free port) and simulated VK200-210s streaming 200 frames
# per second (256000 baud, --mode 2 --freq-index 8), each read by a headless Orvanta.
#  1. Cost: one sensor recorded for SECONDS (default 60) without and then with --publish;
#     the program's CPU time (user + system, /proc) after its first 5 s, as % of one core
#     (--cost-seconds S measures for S seconds instead, e.g. a minute before a long fan-in).
#  2. Fan-in: N sensors (default 8) at once, each recording and publishing for SECONDS; a
#     subscriber (mosquitto_sub) counts the values messages of each device, which must equal
#     the rows it recorded, and nothing may have been dropped.
# Exit status 0 when the counts agree. Not part of ./test.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=60
sensors=8
cost_seconds=""
bin="$root/build/dist/bin"
while [ $# -gt 0 ]; do
    case "$1" in
        --sensors) sensors="$2"; shift 2 ;;
        --cost-seconds) cost_seconds="$2"; shift 2 ;;
        --bin) bin="$(cd "$2" && pwd)"; shift 2 ;;
        -h|--help) sed -n 2,14p "$0"; exit 0 ;;
        *) seconds="$1"; shift ;;
    esac
done
PATH="$PATH:/usr/sbin" # where Debian puts the broker
for program in mosquitto mosquitto_sub; do
    command -v "$program" >/dev/null || { echo "mqtt bench: $program is missing (scripts/setup.sh)" >&2; exit 2; }
done
work="$(mktemp -d /tmp/orvanta-mqtt-bench-XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
{
    echo "listener $port 127.0.0.1"
    echo "allow_anonymous true"
    echo "persistence false"
    echo "max_queued_messages 100000"
    [ "$(id -u)" -eq 0 ] && echo "user root"
} > "$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" > "$work/mosquitto.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

# start_sensor NAME [ARGS...]: a simulator and a recording program in $work/NAME; sets
# sensor_pid to the program's id.
start_sensor() {
    local name=$1; shift
    local dir="$work/$name"
    mkdir -p "$dir/bin" "$dir/config"
    cp "$bin/orvanta" "$dir/bin/orvanta"
    "$bin/orvanta-devsim" --model VK200-210 --baud 256000 --link "$dir/device" \
        > "$dir/devsim.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do grep -q serving "$dir/devsim.out" 2>/dev/null && break; sleep 0.1; done
    (cd / && exec "$dir/bin/orvanta" --headless --port "$dir/device" --baud 256000 \
        --model VK200-210 --record --mode 2 --freq-index 8 --duration "$duration" "$@") \
        > "$dir/orvanta.out" 2> "$dir/orvanta.err" &
    sensor_pid=$!
    pids+=($sensor_pid)
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# The program's share of one core from 5 s after its start to 2 s before its end.
measure_cpu() {
    local pid=$1
    sleep 5
    local t0; t0=$(cpu_ticks "$pid")
    local s0; s0=$(date +%s.%N)
    sleep $(( duration - 7 ))
    local t1; t1=$(cpu_ticks "$pid")
    local s1; s1=$(date +%s.%N)
    awk -v t="$(( t1 - t0 ))" -v hz="$(getconf CLK_TCK)" -v s0="$s0" -v s1="$s1" \
        'BEGIN { printf "%.2f", 100 * t / hz / (s1 - s0) }'
}

rows_of() {
    local rows=0
    for f in "$1"/data/*.csv; do
        [ -e "$f" ] || continue
        rows=$(( rows + $(wc -l < "$f") - $(grep -c '^Roll(' "$f" || true) ))
    done
    echo "$rows"
}

[ "$seconds" -ge 10 ] || { echo "mqtt bench: SECONDS must be 10 or more" >&2; exit 2; }

duration=${cost_seconds:-$seconds}
[ "$duration" -ge 10 ] || { echo "mqtt bench: --cost-seconds must be 10 or more" >&2; exit 2; }
echo "mqtt bench: 1. one sensor at 200 frames/s for $duration s"
start_sensor plain
plain=$(measure_cpu "$sensor_pid")
wait "$sensor_pid" || true
start_sensor published --publish "mqtt://127.0.0.1:$port/bench" --device-name one
published=$(measure_cpu "$sensor_pid")
wait "$sensor_pid" || true
echo "mqtt bench: CPU of one core: recording $plain %, recording and publishing $published %"
awk -v a="$plain" -v b="$published" 'BEGIN { printf "mqtt bench: publishing adds %.2f %% of a core\n", b - a }'

duration=$seconds
echo "mqtt bench: 2. $sensors sensors at 200 frames/s each for $seconds s"
mosquitto_sub -h 127.0.0.1 -p "$port" -t 'fan/+/values' -F '%t' > "$work/values.txt" &
sub_pid=$!
pids+=($sub_pid)
sleep 1
programs=()
for i in $(seq "$sensors"); do
    start_sensor "s$i" --publish "mqtt://127.0.0.1:$port/fan" --device-name "s$i"
    programs+=($sensor_pid)
done
status=0
for pid in "${programs[@]}"; do wait "$pid" || status=1; done
sleep 2
kill -TERM "$sub_pid"; wait "$sub_pid" 2>/dev/null || true
ok=1
total_rows=0; total_values=0
for i in $(seq "$sensors"); do
    rows=$(rows_of "$work/s$i")
    values=$(grep -c "^fan/s$i/values\$" "$work/values.txt" || true)
    drops=$(grep -c 'dropped' "$work/s$i/orvanta.err" || true)
    total_rows=$(( total_rows + rows )); total_values=$(( total_values + values ))
    echo "mqtt bench: s$i rows $rows values $values drop reports $drops"
    [ "$rows" -gt 0 ] && [ "$rows" -eq "$values" ] && [ "$drops" -eq 0 ] || ok=0
done
echo "mqtt bench: $sensors sensors: rows $total_rows, values messages $total_values in $seconds s" \
     "($(( total_values / seconds )) per second)"
[ "$status" -eq 0 ] || { echo "mqtt bench: a program ended with an error" >&2; ok=0; }
if [ "$ok" -eq 1 ]; then echo "mqtt bench: PASS"; else echo "mqtt bench: FAIL" >&2; exit 1; fi
