#!/bin/sh
# Fails when a folder of src/ includes a folder above it: the core never sees the front ends.
#   check-layering.sh SRC_DIR
src=$1
status=0
forbid() { # folder, then the folders it must not include
    folder=$1
    shift
    for above in "$@"; do
        if grep -rn "#include \"$above/" "$src/$folder"; then
            echo "error: src/$folder must not include $above/" >&2
            status=1
        fi
    done
}
for core in protocol serial recording config; do
    forbid "$core" host publish headless window app chart view3d
done
forbid host publish headless window app chart view3d
forbid publish headless window app chart view3d
forbid headless window app
forbid window app headless
exit $status
