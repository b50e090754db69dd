#!/usr/bin/env bash
# The program's cost on a live stream: the simulator plays a VK200-210 at 256000 baud in
# automatic output (200 frames per second unless --rate says otherwise) and each run measures
# one program for SECONDS (30 by default) after it has settled:
#   active    the window, started from a program folder of its own, as the active window
#   inactive  the same window once another client has taken the keyboard focus (the 3D view
#             then stops redrawing)
#   headless  orvanta --headless --record on the same stream
#   cutecom   Debian's CuteCom showing the stream in hex, for comparison (when installed;
#             this script installs nothing)
# For each it prints the process's CPU use and its main thread's (% of one core), its
# resident memory at the start and the end of the measured time, and the CPU use per thread
# name; then a table, with medians when --runs is above 1.
#   bench/window-load.sh [SECONDS] [--rate FRAMES_PER_SECOND] [--runs N]
#                        [--only active,inactive,headless,cutecom]
# Uses the display in DISPLAY, or a virtual one (Xvfb, Mesa's software OpenGL). Run after a
# build (./test.sh or ./run.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=30
rate=200
runs=1
only=active,inactive,headless,cutecom
while [ $# -gt 0 ]; do
    case "$1" in
        --rate) rate=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --only) only=$2; shift 2 ;;
        [0-9]*) seconds=$1; shift ;;
        *) echo "usage: bench/window-load.sh [SECONDS] [--rate FPS] [--runs N] [--only LIST]" >&2
           exit 2 ;;
    esac
done
# The VK200-210's top rate is 200 frames per second; the simulator divides it.
if [ "$rate" -le 0 ] || [ $((200 % rate)) -ne 0 ]; then
    echo "--rate must divide 200" >&2
    exit 2
fi
divider=$((200 / rate))
wants() { [[ ",$only," == *",$1,"* ]]; }

dist=$root/build/dist
helper=$root/build/bench/bench_x_input
modem_lines=$root/build/bench/libbench_pty_modem_lines.so
for needed in "$dist/bin/orvanta" "$dist/bin/orvanta-devsim" "$helper" "$modem_lines"; do
    [ -e "$needed" ] || { echo "missing $needed: build first (./test.sh or ./run.sh)" >&2; exit 2; }
done

if [ -z "${DISPLAY:-}" ] && [ -z "${ORVANTA_IN_XVFB:-}" ]; then
    ORVANTA_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 3840x2160x24" "$0" "$@" \
        "$seconds" --rate "$rate" --runs "$runs" --only "$only"
fi

work=$(mktemp -d /tmp/orvanta-load.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/bin" "$work/config" "$work/data" "$work/picture"
cp "$dist/config/Mod.3DS" "$dist/config/Int.smf" "$work/config/"
cp "$dist/bin/orvanta" "$work/bin/" # the program finds config/ beside its own folder
link="$work/device"
printf '[Config]\nLANGUAGE=EN\nMODEL=VK200-210\nPROTOCOL=ASCII\nCOM=%s\nBAUD=6\nPARITY=0\n' \
    "$link" >"$work/config/Config.ini"

ticks_per_second=$(getconf CLK_TCK)
now() { date +%s.%N; }

start_simulator() {
    rm -f "$link"
    "$dist/bin/orvanta-devsim" --model VK200-210 --baud 256000 --auto-divider "$divider" \
        --link "$link" >"$work/simulator.log" 2>&1 &
    simulator_pid=$!
    pids+=("$simulator_pid")
    simulator_start=$(now)
    for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
}
stop_simulator() {
    kill -TERM "$simulator_pid" 2>/dev/null || true
    wait "$simulator_pid" 2>/dev/null || true
    awk -v t0="$simulator_start" -v t1="$(now)" '/sent [0-9]+ data frames/ {
        printf "  simulator: %d data frames, %.0f per second\n", $3, $3 / (t1 - t0) }' \
        "$work/simulator.log"
}
stop() {
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# One line per thread: "main" or the thread's name with its digits as N (llvmpipe-0 and
# llvmpipe-1 are one entry), and its CPU ticks.
thread_ticks() {
    for stat in /proc/"$1"/task/*/stat; do
        sed -E 's/^([0-9]+) \((.*)\) [A-Z] (.*)$/\1\t\2\t\3/' "$stat" 2>/dev/null |
            awk -F'\t' -v pid="$1" '{ split($3, f, " "); name = $2; gsub(/[0-9]+/, "N", name)
                                      if ($1 == pid) name = "main"
                                      print name "\t" f[11] + f[12] }'
    done
}
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
main_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/task/$1/stat"; }
rss_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

# measure NAME PID: SECONDS of CPU and memory of the process; appends to results.tsv.
measure() {
    local name=$1 pid=$2 c0 m0 r0 t0 c1 m1 r1 t1
    thread_ticks "$pid" >"$work/threads0"
    c0=$(cpu_ticks "$pid"); m0=$(main_ticks "$pid"); r0=$(rss_kib "$pid"); t0=$(now)
    sleep "$seconds"
    thread_ticks "$pid" >"$work/threads1"
    c1=$(cpu_ticks "$pid"); m1=$(main_ticks "$pid"); r1=$(rss_kib "$pid"); t1=$(now)
    awk -v n="$name" -v c0="$c0" -v c1="$c1" -v m0="$m0" -v m1="$m1" -v r0="$r0" -v r1="$r1" \
        -v t0="$t0" -v t1="$t1" -v hz="$ticks_per_second" 'BEGIN {
        s = t1 - t0; cpu = 100 * (c1 - c0) / hz / s; main = 100 * (m1 - m0) / hz / s
        printf "%s: %.1f %% of one core, main thread %.1f %%, resident %.1f MiB", n, cpu, main,
               r1 / 1024
        printf " (%.1f MiB at the start of %.0f s)\n", r0 / 1024, s
        printf "%s\t%.2f\t%.2f\t%.1f\n", n, cpu, main, r1 / 1024 >> "'"$work/results.tsv"'" }'
    awk -F'\t' -v hz="$ticks_per_second" -v s="$seconds" '
        FNR == NR { before[$1] += $2; next }
        { after[$1] += $2 }
        END { line = "  by thread:"
              for (t in after) { p = 100 * (after[t] - before[t]) / hz / s
                                 if (p >= 0.05) line = line sprintf(" %s %.1f %%,", t, p) }
              sub(/,$/, "", line); print line }' "$work/threads0" "$work/threads1"
}

run_window() {
    start_simulator
    ORVANTA_REPORT_FIRST_PAINT=1 "$work/bin/orvanta" 2>"$work/window.log" &
    local pid=$!
    pids+=("$pid")
    # The connect sequence ends and the stream settles.
    sleep 5
    grep -h "first paint" "$work/window.log" | sed 's/^orvanta: /  /' || true
    if wants active; then
        measure "$rate frames/s, window active" "$pid"
    fi
    if wants inactive; then
        "$helper" unfocus
        sleep 2
        measure "$rate frames/s, window inactive" "$pid"
    fi
    stop "$pid"
    stop_simulator
}

run_headless() {
    start_simulator
    "$work/bin/orvanta" --headless --record --duration $((seconds + 10)) \
        >"$work/headless.log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    sleep 5
    measure "headless, $rate frames/s, recording" "$pid"
    grep -h "rate=" "$work/headless.log" | tail -n 1 | sed 's/^/  last status: /'
    stop "$pid"
    stop_simulator
}

run_cutecom() {
    if ! command -v cutecom >/dev/null; then
        echo "cutecom: not installed (Debian package cutecom); no comparison"
        return
    fi
    start_simulator
    local home=$work/cutecom-home
    mkdir -p "$home/.config/CuteCom"
    # A session on the simulator's link, read only, at the stream's baud rate.
    printf '%s\n' '[sessions]' '1\BaudRate=256000' '1\DataBits=8' "1\\Device=$link" \
        '1\FlowControl=0' '1\OpenMode=1' '1\Parity=0' '1\StopBits=1' '1\autoReconnect=false' \
        '1\name=Default' '1\showCtrlCharacters=false' '1\showTimestamp=false' 'size=1' \
        >"$home/.config/CuteCom/CuteCom5.conf"
    HOME=$home LD_PRELOAD=$modem_lines cutecom >"$work/cutecom.log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    sleep 3
    # He&x output, then &Open.
    "$helper" keys CuteCom alt+x alt+o || true
    sleep 3
    if ls -l "/proc/$pid/fd" 2>/dev/null | grep -q /dev/pts/; then
        measure "CuteCom, hex view, $rate frames/s" "$pid"
    else
        echo "cutecom: did not open the stream"
    fi
    stop "$pid"
    stop_simulator
}

echo "$(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg) before the runs"
for run in $(seq "$runs"); do
    [ "$runs" -gt 1 ] && echo "run $run of $runs"
    if wants active || wants inactive; then run_window; fi
    if wants headless; then run_headless; fi
    if wants cutecom; then run_cutecom; fi
done
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) after the runs"

[ -s "$work/results.tsv" ] || exit 0
echo
[ "$runs" -gt 1 ] && echo "Medians of $runs runs of $seconds s:" || echo "One run of $seconds s:"
echo "| Run | Process (% of one core) | Main thread | Memory (RSS) |"
echo "|---|---|---|---|"
awk -F'\t' '
    function median(list,    n, v, i, j, t) {
        n = split(list, v, " ")
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j] + 0 < v[j - 1] + 0; j--) {
            t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    !($1 in cpu) { order[++count] = $1 }
    { cpu[$1] = cpu[$1] " " $2; main[$1] = main[$1] " " $3; rss[$1] = rss[$1] " " $4 }
    END { for (i = 1; i <= count; i++) { n = order[i]
          printf "| %s | %.1f %% | %.1f %% | %.0f MiB |\n", n, median(cpu[n]), median(main[n]),
                 median(rss[n]) } }' "$work/results.tsv"
