#!/usr/bin/env bash
# Runs one libFuzzer target: fuzz/run.sh TARGET [SECONDS] [extra libFuzzer flags...]
#   TARGET   fuzz_receiver, fuzz_scene_loader, fuzz_config_file, fuzz_devsim_command,
#            fuzz_headless_args or fuzz_capture_reader (the "fuzz_" may be left out)
#   SECONDS  how long (default 60)
# Builds the target in build-fuzz/ (clang, AddressSanitizer + UBSan, no Qt) unless
# ORVANTA_FUZZ_BUILD names a build tree that has it (ctest sets it to build-asan/).
# Starts from the seeds in fuzz/corpus/TARGET and a working corpus kept in
# BUILD/fuzz-work/TARGET; a crashing input lands in BUILD/fuzz-artifacts/TARGET/ and the
# script exits non-zero. The last lines show libFuzzer's executions and coverage.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"

[ $# -ge 1 ] || { sed -n 2,11p "$0"; exit 2; }
target="$1"; shift
[[ "$target" == fuzz_* ]] || target="fuzz_$target"
seconds="${1:-60}"; [ $# -ge 1 ] && shift

case "$target" in
    fuzz_receiver) max_len=8192 ;;
    fuzz_scene_loader) max_len=16384 ;;
    fuzz_config_file) max_len=8192 ;;
    fuzz_devsim_command) max_len=4096 ;;
    fuzz_headless_args) max_len=512 ;;
    fuzz_capture_reader) max_len=16384 ;;
    *) echo "fuzz/run.sh: unknown target $target" >&2; exit 2 ;;
esac

build="${ORVANTA_FUZZ_BUILD:-}"
if [ -z "$build" ]; then
    build="$root/build-fuzz"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
        -DORVANTA_SANITIZE=address -DORVANTA_BUILD_FUZZ=ON -DORVANTA_BUILD_GUI=OFF \
        -DORVANTA_BUILD_TESTS=OFF -DORVANTA_BUILD_BENCH=OFF > /dev/null
    cmake --build "$build" --target "$target" > /dev/null
fi
binary="$build/fuzz/$target"
[ -x "$binary" ] || { echo "fuzz/run.sh: $binary not built" >&2; exit 2; }

work="$build/fuzz-work/$target"
artifacts="$build/fuzz-artifacts/$target"
mkdir -p "$work" "$artifacts"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}:abort_on_error=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}:halt_on_error=1"
# One worker; -rss_limit_mb keeps a runaway allocation a finding, not a stalled machine.
exec "$binary" "$work" "$here/corpus/$target" -max_total_time="$seconds" -max_len="$max_len" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" "$@"
