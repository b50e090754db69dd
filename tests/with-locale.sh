#!/usr/bin/env bash
# Runs a test under a decimal-comma locale:
#   with-locale.sh LOCALE COMMAND [ARGS...]      e.g. de_DE.UTF-8
# A locale the system lacks is made with localedef into $ORVANTA_LOCALE_DIR (the build's
# folder); only where localedef itself is missing is the test skipped (77). Tests that
# check the locale themselves see ORVANTA_COMMA_LOCALE set.
set -u
name=$1
shift
if LC_ALL=$name locale 2>&1 >/dev/null | grep -q "Cannot set"; then
    if ! command -v localedef >/dev/null 2>&1; then
        echo "skipped: the $name locale is missing and localedef is not installed"
        exit 77
    fi
    dir=${ORVANTA_LOCALE_DIR:-${TMPDIR:-/tmp}/orvanta-locales}
    mkdir -p "$dir"
    if [ ! -e "$dir/$name/LC_NUMERIC" ]; then
        # Made aside and moved into place, so tests started together never see half of it.
        work=$(mktemp -d "$dir/.new.XXXXXX")
        localedef -i "${name%%.*}" -f "${name#*.}" "$work/$name" >/dev/null 2>&1
        if [ ! -e "$work/$name/LC_NUMERIC" ]; then
            echo "localedef could not make $name" >&2
            rm -rf "$work"
            exit 1
        fi
        mv -T "$work/$name" "$dir/$name" 2>/dev/null || true
        rm -rf "$work"
    fi
    export LOCPATH=$dir
fi
export LC_ALL=$name LANG=$name ORVANTA_COMMA_LOCALE=$name
exec "$@"
