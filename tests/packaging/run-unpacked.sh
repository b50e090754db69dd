#!/usr/bin/env bash
# The package as installed, without installing it: tests/packaging/run-unpacked.sh PACKAGE.deb
# Unpacks the package into a temporary root and runs <root>/usr/bin/orvanta in headless mode
# against <root>/usr/bin/orvanta-devsim, from an unrelated current directory, with HOME in
# a temporary folder and no XDG variables. The configuration and the CSV file must land in
# the XDG places, the skin and model must come from <root>/usr/share/orvanta, and nothing
# may be written to the current directory or its parent.
set -euo pipefail
deb=$1
fail() { echo "run-unpacked: $*" >&2; exit 1; }
[ -f "$deb" ] || fail "$deb is missing (cmake --build build --target package)"

work=$(mktemp -d /tmp/orvanta-unpacked-XXXXXX)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

root=$work/root
dpkg-deb -x "$deb" "$root"
export HOME=$work/home
unset XDG_CONFIG_HOME XDG_DOCUMENTS_DIR XDG_PICTURES_DIR XDG_DATA_HOME
mkdir -p "$HOME" "$work/parent/current"
cd "$work/parent/current"

# The files of this run, as --help names them, and without a display.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/orvanta" --help)
for line in "configuration  $HOME/.config/orvanta/Config.ini" \
    "skin           $root/usr/share/orvanta/Int.smf" \
    "3D model       $root/usr/share/orvanta/Mod.3DS" \
    "CSV files      $HOME/Documents/Orvanta " \
    "pictures       $HOME/Pictures/Orvanta"; do
    grep -qF "$line" <<<"$help" || fail "--help does not name \"$line\": $help"
done
grep -q '^orvanta [0-9]' <(env -u DISPLAY "$root/usr/bin/orvanta" --version) || fail "--version"
grep -q '^orvanta-devsim [0-9]' <("$root/usr/bin/orvanta-devsim" --version) ||
    fail "orvanta-devsim --version"

"$root/usr/bin/orvanta-devsim" --model VK100 --link "$work/device" \
    >"$work/devsim.out" 2>"$work/devsim.err" &
sim_pid=$!
for _ in $(seq 100); do
    grep -q serving "$work/devsim.out" 2>/dev/null && break
    sleep 0.1
done
grep -q serving "$work/devsim.out" || fail "the simulator did not start: $(cat "$work/devsim.err")"

status=0
"$root/usr/bin/orvanta" --headless --port "$work/device" --record --duration 4 \
    >"$work/orvanta.out" 2>"$work/orvanta.err" || status=$?
[ "$status" -eq 0 ] || fail "orvanta ended with $status: $(cat "$work/orvanta.err")"

config=$HOME/.config/orvanta/Config.ini
[ -f "$config" ] || fail "no $config"
grep -qx "PATH=$HOME/Documents/Orvanta" <(tr -d '\r' <"$config") ||
    fail "PATH in $config: $(cat "$config")"
mapfile -t csv < <(find "$HOME/Documents/Orvanta" -name 'VK100_*.csv')
[ "${#csv[@]}" -eq 1 ] || fail "expected one CSV file in ~/Documents/Orvanta: ${csv[*]-none}"
rows=$(($(wc -l <"${csv[0]}") - 1))
[ "$rows" -gt 0 ] || fail "${csv[0]} holds no rows"

written=$(find "$work/parent" -mindepth 1 ! -path "$work/parent/current")
[ -z "$written" ] || fail "written beside the current directory: $written"
[ -z "$(ls -A "$work/parent/current")" ] || fail "written to the current directory"
echo "run-unpacked: ${csv[0]#"$HOME"/} holds $rows rows; $config made; nothing else written"
