#!/usr/bin/env bash
# Runs a test that needs an X display: a fresh Xvfb with a 24-bit screen
# larger than twice the main window where xvfb-run exists, else the session's
# display; without either the test is skipped (77).
set -u
if command -v xvfb-run >/dev/null 2>&1; then
    exec xvfb-run -a -s "-screen 0 3840x2160x24" "$@"
fi
if [ -n "${DISPLAY:-}" ]; then
    exec "$@"
fi
echo "skipped: no display server can be started (xvfb-run missing, DISPLAY unset)"
exit 77
