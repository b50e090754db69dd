#!/usr/bin/env bash
# The long recording run: bench/soak.sh [MINUTES] [--sensors N] [--bin DIR] [--work DIR]
#
# N simulators (default 1; VK200-210, 256000 baud, --corrupt-every 1000) start in answer
# output; the program in headless mode opens them all in one run (--port given N times) at
# 256000 with --record, --mode 2 and --freq-index 8, so each device streams 200 frames per
# second from then on. With more than one sensor the run writes the analysis CSV format.
# After MINUTES (default 10) the simulators are stopped first, then the program. Checks:
#   - every good frame a simulator sent is one row of its own port's CSV files;
#   - the failed frames a port's Miscount showed equal the frames its simulator corrupted;
#   - with several sensors, the rows' monotonic time stamps rise strictly in every file;
#   - the resident memory, sampled each minute, grows by less than 1 MiB after the first
#     minute (needs two minutes or more).
# --bin DIR: where orvanta and orvanta-devsim are (default build/dist/bin); --work DIR: the
# program folder made for the run (default a temporary one, removed when all passed).
# Exit status 0 when every check passed. Not part of ./test.sh; one-minute runs are.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

minutes=10
sensors=1
bin="$root/build/dist/bin"
work=""
while [ $# -gt 0 ]; do
    case "$1" in
        --sensors) sensors="$2"; shift 2 ;;
        --bin) bin="$(cd "$2" && pwd)"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        -h|--help) sed -n 2,17p "$0"; exit 0 ;;
        *) minutes="$1"; shift ;;
    esac
done
[[ "$minutes" =~ ^[1-9][0-9]*$ ]] || { echo "soak: MINUTES must be a whole number from 1" >&2; exit 2; }
[[ "$sensors" =~ ^[1-9][0-9]*$ ]] && [ "$sensors" -le 16 ] || { echo "soak: --sensors takes 1 to 16" >&2; exit 2; }
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

declare -a sim_pids=()
prog_pid=""
cleanup() {
    [ -n "$prog_pid" ] && kill -KILL "$prog_pid" 2>/dev/null || true
    for pid in "${sim_pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# One simulator a sensor, its link named s1, s2, ...: that is also the port's name in the
# program's lines and file names.
ports=()
for i in $(seq "$sensors"); do
    "$bin/orvanta-devsim" --model VK200-210 --baud 256000 --corrupt-every 1000 --seed "$i" \
        --link "$work/s$i" > "$work/devsim$i.out" 2> "$work/devsim$i.err" &
    sim_pids+=($!)
    ports+=(--port "$work/s$i")
done
for i in $(seq "$sensors"); do
    for _ in $(seq 100); do
        grep -q "serving" "$work/devsim$i.out" 2>/dev/null && break
        sleep 0.1
    done
    grep -q "serving" "$work/devsim$i.out" || { echo "soak: simulator $i did not start" >&2; cat "$work/devsim$i.err" >&2; exit 1; }
done

format=()
[ "$sensors" -gt 1 ] && format=(--csv-format utf8)
(cd / && exec "$work/bin/orvanta" --headless "${ports[@]}" --baud 256000 \
    --model VK200-210 --record --mode 2 --freq-index 8 "${format[@]}") \
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

# The simulators first, then the program.
for pid in "${sim_pids[@]}"; do kill -TERM "$pid"; done
for pid in "${sim_pids[@]}"; do wait "$pid" || true; done
sim_pids=()
sleep 2
kill -TERM "$prog_pid"
status=0
wait "$prog_pid" || status=$?
prog_pid=""

echo "soak: $minutes minute(s), $sensors sensor(s); program exit status $status"
ok=1
# The devices left first, so the program ends still waiting for them to come back.
[ "$status" -eq 6 ] || { echo "soak: FAIL the program ended with status $status, not 6" >&2; ok=0; }
for i in $(seq "$sensors"); do
    if [ "$sensors" -eq 1 ]; then
        files=("$work"/data/*.csv); lines="$work/orvanta.out"; header='^Roll('
    else
        files=("$work"/data/*_s"$i"_*.csv); header='^time,'
        lines="$work/orvanta.s$i.out"
        sed -n "s/^s$i: //p" "$work/orvanta.out" > "$lines"
    fi
    sent=$(sed -n 's/^orvanta-devsim: sent \([0-9]*\) data frames$/\1/p' "$work/devsim$i.out")
    corrupted=$(sed -n 's/^orvanta-devsim: corrupted \([0-9]*\) data frames$/\1/p' "$work/devsim$i.out")
    good=$(( sent - corrupted ))
    rows=0
    for f in "${files[@]}"; do
        [ -e "$f" ] || continue
        r=$(wc -l < "$f"); h=$(grep -c "$header" "$f" || true)
        rows=$(( rows + r - h ))
        if [ "$sensors" -gt 1 ]; then
            # The last column is the arrival on the monotonic clock.
            awk -F, -v file="$f" 'NR > 1 { t = $NF + 0; if (NR > 2 && t <= last) { print "soak: FAIL time stamps not rising in " file " at line " NR > "/dev/stderr"; bad = 1; exit } last = t } END { exit bad }' "$f" || ok=0
        fi
    done
    # A second without frames (a stall on a loaded machine) starts the count afresh: the
    # failed frames are the sum of the counts reached before each new start.
    miscount=$(sed -n 's/^rate=[0-9]*HZ miscount=\([0-9]*\) .*/\1/p' "$lines" |
        awk '{ if ($1 < last) total += last; last = $1 } END { print total + last }')
    rate=$(sed -n 's/^rate=\([0-9]*\)HZ .*/\1/p' "$lines" | sort -n | uniq -c | sort -n | tail -1 | awk '{print $2}')
    echo "soak: sensor $i: frames sent $sent, corrupted $corrupted, good $good; rows $rows in ${#files[@]} file(s); Miscount $miscount; most frequent rate ${rate:-?} HZ"
    [ "$sent" -gt 0 ] || { echo "soak: FAIL sensor $i sent no frames" >&2; ok=0; }
    [ "$rows" -eq "$good" ] || { echo "soak: FAIL sensor $i: rows $rows != good frames $good" >&2; ok=0; }
    [ "$miscount" -eq "$corrupted" ] || { echo "soak: FAIL sensor $i: Miscount $miscount != corrupted $corrupted" >&2; ok=0; }
done
echo "soak: resident memory per minute (KiB): ${rss[*]}"
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
