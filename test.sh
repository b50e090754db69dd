#!/usr/bin/env bash
# The test command: installs what is missing, builds into build/, runs every test.
#   ./test.sh                      the plain build in build/, every test
#   ./test.sh --sanitize=address   AddressSanitizer + UndefinedBehaviorSanitizer (clang) in
#                                  build-asan/ with the fuzz targets; tests labelled nodisplay
#   ./test.sh --sanitize=thread    ThreadSanitizer (clang, no Qt) in build-tsan/; tests
#                                  labelled nodisplay
set -euo pipefail
cd "$(dirname "$0")"

sanitize=""
for arg in "$@"; do
    case "$arg" in
        --sanitize=address|--sanitize=thread) sanitize="${arg#--sanitize=}" ;;
        *) echo "usage: ./test.sh [--sanitize=address|--sanitize=thread]" >&2; exit 2 ;;
    esac
done

./scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
if [ -z "$sanitize" ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$jobs"
    ctest --test-dir build --output-on-failure -j "$jobs"
    exit 0
fi

# Sanitizer suites: their own trees, clang, no benchmarks, only tests that need no display.
common=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14
        -DCMAKE_CXX_COMPILER=clang++-14 -DORVANTA_BUILD_BENCH=OFF -DORVANTA_SANITIZE="$sanitize")
if [ "$sanitize" = address ]; then
    dir=build-asan
    cmake -S . -B "$dir" "${common[@]}" -DORVANTA_BUILD_FUZZ=ON
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
    # The thread suite covers the Qt-free threaded code (serial monitor, poll worker,
    # recorder, host); Qt's own libraries are not instrumented.
    dir=build-tsan
    cmake -S . -B "$dir" "${common[@]}" -DORVANTA_BUILD_GUI=OFF
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/cmake/tsan.supp"
fi
cmake --build "$dir" -j "$jobs"
ctest --test-dir "$dir" --output-on-failure -j "$jobs" -L nodisplay
