#!/usr/bin/env bash
# The long recording run: bench/soak.sh [MINUTES] [--bin DIR] [--work DIR]
#
# The simulator (VK200-210, 256000 baud, --corrupt-every 1000) starts in answer output; the
# program in headless mode opens it at 256000 with --record, --mode 2 and --freq-index 8,
# so the device streams 200 frames per second from then on. After MINUTES (default 10) the
# simulator is stopped first, then the program. Checks:
#   - every good frame the simulator sent is one row of the CSV files (counts equal);
#   - the largest Miscount the program showed equals the frames the simulator corrupted;
#   - the resident memory, sampled each minute, grows by less than 1 MiB after the first
#     minute (needs two minutes or more).
# --bin DIR: where orvanta and orvanta-devsim are (default build/dist/bin); --work DIR: the
# program folder made for the run (default a temporary one, removed when all passed).
# Exit status 0 when every check passed. Not part of ./test.sh; a one-minute run is.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

minutes=10
bin="$root/build/dist/bin"
work=""
while [ $# -gt 0 ]; do
    case "$1" in
        --bin) bin="$(cd "$2" && pwd)"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        -h|--help) sed -n 2,16p "$0"; exit 0 ;;
        *) minutes="$1"; shift ;;
    esac
done
[[ "$minutes" =~ ^[1-9][0-9]*$ ]] || { echo "soak: MINUTES must be a whole number from 1" >&2; exit 2; }
for program in orvanta orvanta-devsim; do
    [ -x "$bin/$program" ] || { echo "soak: $bin/$program is missing (build first)" >&2; exit 2; }
done

keep_work=1
if [ -z "$work" ]; then
    work="$(mktemp -d /tmp/orvanta-soak-XXXXXX)"
    keep_work=0
fi
rm -rf "$work"
mkdir -p "$work/bin" "$work/config"
work="$(cd "$work" && pwd)"
cp "$bin/orvanta" "$work/bin/orvanta"   # data/ lands beside the program's folder

sim_pid=""; prog_pid=""
cleanup() {
    [ -n "$prog_pid" ] && kill -KILL "$prog_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill -KILL "$sim_pid" 2>/dev/null || true
}
trap cleanup EXIT

"$bin/orvanta-devsim" --model VK200-210 --baud 256000 --corrupt-every 1000 \
    --link "$work/device" > "$work/devsim.out" 2> "$work/devsim.err" &
sim_pid=$!
for _ in $(seq 100); do
    grep -q "serving" "$work/devsim.out" 2>/dev/null && break
    sleep 0.1
done
grep -q "serving" "$work/devsim.out" || { echo "soak: the simulator did not start" >&2; cat "$work/devsim.err" >&2; exit 1; }

(cd / && exec "$work/bin/orvanta" --headless --port "$work/device" --baud 256000 \
    --model VK200-210 --record --mode 2 --freq-index 8) \
    > "$work/orvanta.out" 2> "$work/orvanta.err" &
prog_pid=$!

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$prog_pid/status" 2>/dev/null || echo 0; }
declare -a rss=()
start=$(date +%s)
for minute in $(seq "$minutes"); do
    while [ $(( $(date +%s) - start )) -lt $(( minute * 60 )) ]; do
        kill -0 "$prog_pid" 2>/dev/null || { echo "soak: the program ended early" >&2; cat "$work/orvanta.err" >&2; exit 1; }
        sleep 1
    done
    rss+=("$(rss_kib)")
    echo "soak: minute $minute, resident memory ${rss[-1]} KiB"
done

# The simulator first, then the program.
kill -TERM "$sim_pid"
wait "$sim_pid" || true
sim_pid=""
sleep 2
kill -TERM "$prog_pid"
status=0
wait "$prog_pid" || status=$?
prog_pid=""

sent=$(sed -n 's/^orvanta-devsim: sent \([0-9]*\) data frames$/\1/p' "$work/devsim.out")
corrupted=$(sed -n 's/^orvanta-devsim: corrupted \([0-9]*\) data frames$/\1/p' "$work/devsim.out")
good=$(( sent - corrupted ))
rows=0
headers=0
for f in "$work"/data/*.csv; do
    [ -e "$f" ] || continue
    r=$(wc -l < "$f"); h=$(grep -c '^Roll(' "$f" || true)
    rows=$(( rows + r - h )); headers=$(( headers + h ))
done
miscount=$(sed -n 's/^rate=[0-9]*HZ miscount=\([0-9]*\) .*/\1/p' "$work/orvanta.out" | sort -n | tail -1)
miscount=${miscount:-0}
rate=$(sed -n 's/^rate=\([0-9]*\)HZ .*/\1/p' "$work/orvanta.out" | sort -n | uniq -c | sort -n | tail -1 | awk '{print $2}')

echo "soak: $minutes minute(s); program exit status $status"
echo "soak: frames sent $sent, corrupted $corrupted, good $good; rows recorded $rows in $(ls "$work"/data/*.csv 2>/dev/null | wc -l) file(s)"
echo "soak: largest Miscount shown $miscount; most frequent rate ${rate:-?} HZ"
echo "soak: resident memory per minute (KiB): ${rss[*]}"

ok=1
# The device left first, so the program ends still waiting for it to come back.
[ "$status" -eq 6 ] || { echo "soak: FAIL the program ended with status $status, not 6" >&2; ok=0; }
[ "$sent" -gt 0 ] || { echo "soak: FAIL no frames sent" >&2; ok=0; }
[ "$rows" -eq "$good" ] || { echo "soak: FAIL rows $rows != good frames $good" >&2; ok=0; }
[ "$miscount" -eq "$corrupted" ] || { echo "soak: FAIL largest Miscount $miscount != corrupted $corrupted" >&2; ok=0; }
if [ "${#rss[@]}" -ge 2 ]; then
    first=${rss[0]}; most=$first
    for r in "${rss[@]:1}"; do [ "$r" -gt "$most" ] && most=$r; done
    growth=$(( most - first ))
    echo "soak: resident memory growth after the first minute: $growth KiB"
    [ "$growth" -lt 1024 ] || { echo "soak: FAIL memory grew by $growth KiB" >&2; ok=0; }
fi
if [ "$ok" -eq 1 ]; then
    echo "soak: PASS"
    [ "$keep_work" -eq 1 ] || rm -rf "$work"
    exit 0
fi
echo "soak: work folder kept: $work" >&2
sed -n 1,20p "$work/orvanta.err" >&2
exit 1
