#!/usr/bin/env bash
# Replay speed: bench/replay.sh [RUNS] [--build DIR]
#
# Writes a 10-minute capture of a VK100 streaming every item at 200 frames per second
# (build/bench/make_replay_capture, the simulator's encoders) and replays it RUNS times
# (default 3) with orvanta --headless --replay FILE --speed max --record from a program
# folder of its own. Each run prints its wall time and the multiple of real time; the run
# fails when a CSV row is missing. Target: 500 times real time (600 s in 1.2 s).
# --build DIR: the build tree (default build/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

runs=3
build="$root/build"
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$(cd "$2" && pwd)"; shift 2 ;;
        -h|--help) sed -n 2,10p "$0"; exit 0 ;;
        *) runs="$1"; shift ;;
    esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "replay: RUNS must be a whole number from 1" >&2; exit 2; }
for program in "$build/dist/bin/orvanta" "$build/bench/make_replay_capture"; do
    [ -x "$program" ] || { echo "replay: $program is missing (build first)" >&2; exit 2; }
done

work="$(mktemp -d /tmp/orvanta-replay-XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/config"
cp "$build/dist/bin/orvanta" "$work/bin/orvanta"
seconds=600
frames=$((seconds * 200))
"$build/bench/make_replay_capture" "$work/vk100.pcap" "$seconds"
echo "capture: $(stat -c %s "$work/vk100.pcap") bytes, $frames data frames, $seconds s"

for run in $(seq "$runs"); do
    rm -rf "$work/data"
    start=$(date +%s.%N)
    (cd "$work/bin" && ./orvanta --headless --replay "$work/vk100.pcap" --speed max --record \
        > "$work/out.txt" 2> "$work/err.txt")
    end=$(date +%s.%N)
    rows=$(cat "$work"/data/*.csv | grep -vc '^Roll(' || true)
    if [ "$rows" -ne "$frames" ]; then
        echo "replay: run $run wrote $rows rows, not $frames" >&2
        cat "$work/err.txt" >&2
        exit 1
    fi
    awk -v s="$start" -v e="$end" -v t="$seconds" -v r="$run" \
        'BEGIN { w = e - s; printf "run %d: %.3f s, %.0f times real time\n", r, w, t / w }'
done
