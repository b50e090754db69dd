#!/usr/bin/env bash
# The run command: installs what is missing, builds, and runs Orvanta from build/dist/bin
# against the device simulator (VK100 unless --model says otherwise), or against a real
# device with --port PATH. With a display it opens the window, connected to that port;
# without one (or with --headless) it prints status lines for 15 seconds while recording.
#   ./run.sh [--model VK100|VK200-210|VN300] [--port PATH] [--headless]
#            [--duration SECONDS] [orvanta headless options...]
set -euo pipefail
cd "$(dirname "$0")"

model=VK100
port=
duration=15
headless=
extra=()
while [ $# -gt 0 ]; do
    case "$1" in
        --model) model=$2; shift 2 ;;
        --port) port=$2; shift 2 ;;
        --duration) duration=$2; shift 2 ;;
        --headless) headless=1; shift ;;
        *) extra+=("$1"); shift ;;
    esac
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=1
fi

./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" \
    --target orvanta orvanta-devsim orvanta_model_file >/dev/null

dist=build/dist
simulator_pid=
cleanup() {
    if [ -n "$simulator_pid" ]; then
        kill "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ -z "$port" ]; then
    port=$(mktemp -u /tmp/orvanta-device.XXXXXX)
    "$dist/bin/orvanta-devsim" --model "$model" --link "$port" &
    simulator_pid=$!
    for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
fi

if [ -z "$headless" ]; then
    # The window opens the configured port: point the configuration at this one.
    config="$dist/config/Config.ini"
    [ -f "$config" ] || printf '[Config]\nLANGUAGE=EN\n' > "$config"
    set_key() {
        if grep -q "^$1=" "$config"; then
            sed -i "s|^$1=.*|$1=$2|" "$config"
        else
            sed -i "/^\[Config\]/a $1=$2" "$config"
        fi
    }
    set_key COM "$port"
    set_key MODEL "$model"
    (cd "$dist/bin" && ./orvanta)
    exit 0
fi

marker=$(mktemp)
status=0
(cd "$dist/bin" && ./orvanta --headless --port "$port" --model "$model" --record \
    --duration "$duration" "${extra[@]}") || status=$?
newest=$(find "$dist/data" -name '*.csv' -newer "$marker" 2>/dev/null | sort | tail -n 1)
rm -f "$marker"
if [ -n "$newest" ]; then
    echo "CSV file written: $(realpath "$newest") ($(($(wc -l < "$newest") - 1)) rows)"
fi
exit "$status"
