#!/usr/bin/env bash
# Fresh machine to a running Movrano: installs what is missing, starts the
# Firebird server, builds the program (not its tests: scripts/test.sh does
# those), and opens the program's window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh movrano

program=build/src/app/movrano
# The window needs a display; a platform chosen by hand (QT_QPA_PLATFORM)
# is taken as it is.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  if [ "${MOVRANO_XVFB:-}" = 1 ]; then
    echo "run: no display is set; starting Movrano on a virtual X display (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$program" "$@"
  fi
  echo "run: Movrano is built ($program), but no display is set (DISPLAY and" >&2
  echo "run: WAYLAND_DISPLAY are empty), so its window cannot open here." >&2
  echo "run: Start it from a desktop session or with X forwarding (ssh -X), or on a" >&2
  echo "run: virtual display with: MOVRANO_XVFB=1 bash scripts/run.sh" >&2
  exit 1
fi
exec "$program" "$@"
