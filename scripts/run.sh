#!/usr/bin/env bash
# Fresh machine to a running Movrano: installs what is missing, starts the
# Firebird server, builds the program (not its tests: scripts/test.sh does
# those), and opens the program's window. The program stops and starts the
# vault servers' services and so runs as root: for another user it is
# started through sudo, with what reaches the user's display.

# as_root <command>...: runs the command in place of this script, as root.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then exec "$@"; fi
  if ! command -v sudo >/dev/null; then
    echo "run: Movrano manages services and so runs as root; run this as root, or as a" >&2
    echo "run: user with sudo." >&2
    exit 1
  fi
  local keep=() name
  for name in DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP; do
    [ -z "${!name:-}" ] || keep+=("$name=${!name}")
  done
  # Root reaches the X display with the user's cookie, and the Wayland one
  # by the full path of its socket (root gets a runtime folder of its own).
  if [ -n "${DISPLAY:-}" ]; then
    local cookie="${XAUTHORITY:-$HOME/.Xauthority}"
    [ ! -f "$cookie" ] || keep+=("XAUTHORITY=$cookie")
  fi
  [ -z "${WAYLAND_DISPLAY:-}" ] || keep+=("WAYLAND_DISPLAY=$(wayland_socket)")
  echo "run: Movrano manages services and so runs as root: starting it through sudo."
  exec sudo env "${keep[@]}" "$@"
}

# The Wayland display's socket as a full path.
wayland_socket() {
  local name="$WAYLAND_DISPLAY"
  if [[ "$name" != /* ]]; then name="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/$name"; fi
  echo "$name"
}

# start <program> <argument>...: opens the program's window on the display
# of this session; a platform chosen by hand (QT_QPA_PLATFORM) is taken as
# it is.
start() {
  local program="$1"
  if [ -n "${QT_QPA_PLATFORM:-}" ]; then as_root "$@"; fi
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    if [ "${MOVRANO_XVFB:-}" = 1 ]; then
      echo "run: no display is set; starting Movrano on a virtual X display (xvfb-run)" \
        "that nobody sees, for automation."
      as_root xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    fi
    echo "run: Movrano is built ($program), but no display is set (DISPLAY and" >&2
    echo "run: WAYLAND_DISPLAY are empty), so its window cannot open here. Start it from a" >&2
    echo "run: desktop session, or from another machine over SSH with X forwarding" >&2
    echo "run: (ssh -X), as the README says." >&2
    exit 1
  fi
  if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    local socket
    socket=$(wayland_socket)
    if [ -S "$socket" ]; then
      # The Wayland display, else the X one where there is one too.
      export QT_QPA_PLATFORM="wayland${DISPLAY:+;xcb}"
    elif [ -n "${DISPLAY:-}" ]; then
      echo "run: no Wayland display listens at $socket; using the X display $DISPLAY."
      export QT_QPA_PLATFORM=xcb
    else
      echo "run: Movrano is built ($program), but no Wayland display listens at $socket" >&2
      echo "run: (WAYLAND_DISPLAY), and no X display is set (DISPLAY)." >&2
      exit 1
    fi
  fi
  as_root "$@"
}

main() {
  set -euo pipefail
  cd "$(dirname "$0")/.."
  bash scripts/setup.sh
  bash scripts/build.sh movrano
  start "$PWD/build/src/app/movrano" "$@"
}

# Sourced (by the script tests), the script only defines its functions.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
