#!/usr/bin/env bash
# The window under load: the simulator plays a VK200-210 at 256000 baud streaming 200 frames
# per second (automatic output); the window, started from a program folder of its own, runs
# against it for SECONDS (60 by default). Prints the time to the first painted window, the
# window's CPU use over the measured time and its resident memory at the start and the end.
# Uses the display in DISPLAY, or a virtual one. Run after a build: bench/window-load.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dist=$PWD/build/dist
[ -x "$dist/bin/orvanta" ] || { echo "build first (./test.sh or ./run.sh)" >&2; exit 2; }

if [ -z "${DISPLAY:-}" ] && [ -z "${ORVANTA_IN_XVFB:-}" ]; then
    ORVANTA_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 3840x2160x24" "$PWD/bench/window-load.sh" "$@"
fi

work=$(mktemp -d /tmp/orvanta-load.XXXXXX)
simulator_pid=
window_pid=
cleanup() {
    [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null || true
    [ -n "$simulator_pid" ] && kill "$simulator_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/bin" "$work/config" "$work/data" "$work/picture"
cp "$dist/config/Mod.3DS" "$dist/config/Int.smf" "$work/config/"
cp "$dist/bin/orvanta" "$work/bin/"   # the program finds config/ beside its own folder
link="$work/device"
printf '[Config]\nLANGUAGE=EN\nMODEL=VK200-210\nPROTOCOL=ASCII\nCOM=%s\nBAUD=6\nPARITY=0\n' \
    "$link" > "$work/config/Config.ini"

"$dist/bin/orvanta-devsim" --model VK200-210 --baud 256000 --auto-divider 1 --link "$link" \
    > "$work/simulator.log" 2>&1 &
simulator_pid=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

ORVANTA_REPORT_FIRST_PAINT=1 "$work/bin/orvanta" 2> "$work/window.log" &
window_pid=$!

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$window_pid/stat"; }
rss_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$window_pid/status"; }

# Let the connect sequence end and the stream settle.
sleep 5
start_cpu=$(cpu_ticks)
start_rss=$(rss_kib)
start_time=$(date +%s.%N)
sleep "$seconds"
kill -TERM "$simulator_pid" 2>/dev/null || true; wait "$simulator_pid" 2>/dev/null || true; simulator_pid=
end_cpu=$(cpu_ticks)
end_rss=$(rss_kib)
end_time=$(date +%s.%N)

grep -h "first paint" "$work/window.log" || echo "first paint: not reported"
awk -v c0="$start_cpu" -v c1="$end_cpu" -v t0="$start_time" -v t1="$end_time" -v hz="$ticks" \
    'BEGIN { printf "CPU use over %.1f s: %.1f %% of one core\n", t1 - t0, 100 * (c1 - c0) / hz / (t1 - t0) }'
echo "resident memory: ${start_rss} KiB at the start, ${end_rss} KiB at the end"
echo "simulator: $(tail -n 2 "$work/simulator.log" | tr "\n" " ")"
