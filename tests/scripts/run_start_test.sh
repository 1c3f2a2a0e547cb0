#!/usr/bin/env bash
# How the run script starts the built program on the session's display:
# as root directly; for another user through sudo, with the X cookie and
# the Wayland socket's full path, since root has neither of its own; on a
# virtual display only when asked; a Wayland display that does not listen
# falls back to the X one, or is said. sudo, xvfb-run and the program are
# played here by scripts that print what they were given.
#   run_start_test.sh <scripts/run.sh>
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=../../scripts/run.sh
source "$1"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stubs="$work/bin"
mkdir -p "$stubs" "$work/home" "$work/runtime" "$work/empty"
for tool in sudo xvfb-run; do
  printf '#!/bin/sh\nprintf "%s"; printf " %%s" "$@"; echo\n' "$tool" >"$stubs/$tool"
done
cat >"$stubs/movrano" <<'EOF'
#!/bin/sh
echo "movrano $* DISPLAY=${DISPLAY-} WAYLAND_DISPLAY=${WAYLAND_DISPLAY-}" \
  "QT_QPA_PLATFORM=${QT_QPA_PLATFORM-} XAUTHORITY=${XAUTHORITY-}"
EOF
chmod +x "$stubs"/*
: >"$work/home/.Xauthority"
perl -MIO::Socket::UNIX -e \
  'IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => $ARGV[0], Listen => 1) or die "$!\n"' \
  "$work/runtime/wayland-1" || exit 1
program="$stubs/movrano"

# shellcheck source=verdict.sh
source "$(dirname "${BASH_SOURCE[0]}")/verdict.sh"
# expect <what> <user id> <path> "<VAR=value ...>" <wanted exit code> <wanted output>
expect() {
  local what="$1" uid="$2" path="$3" assignments="$4" wanted_code="$5" wanted="$6" got code
  got=$(
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE XDG_CURRENT_DESKTOP \
      XDG_SESSION_DESKTOP XAUTHORITY MOVRANO_XVFB
    export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" PATH="$path"
    id() { echo "$uid"; }
    for assignment in $assignments; do export "${assignment?}"; done
    start "$program" --an-argument 2>&1
  )
  code=$?
  verdict "$what" "$got" "$code" "$wanted" "$wanted_code"
}

through_sudo="run: Movrano manages services and so runs as root: starting it through sudo."
socket="$work/runtime/wayland-1"

expect "root on X: the program itself" 0 "$stubs" "DISPLAY=:5" 0 \
  "movrano --an-argument DISPLAY=:5 WAYLAND_DISPLAY= QT_QPA_PLATFORM= XAUTHORITY="
expect "a user on X: sudo, with the user's cookie" 1000 "$stubs" \
  "DISPLAY=:5 XDG_SESSION_TYPE=x11" 0 "$(printf '%s\n' "$through_sudo" \
    "sudo env DISPLAY=:5 XDG_SESSION_TYPE=x11 XAUTHORITY=$work/home/.Xauthority $program --an-argument")"
expect "a user on X: a cookie the session names but lacks is not passed" 1000 "$stubs" \
  "DISPLAY=:5 XAUTHORITY=$work/runtime/cookie" 0 "$(printf '%s\n' "$through_sudo" \
    "sudo env DISPLAY=:5 $program --an-argument")"
: >"$work/runtime/cookie"
expect "a user on X: the session's cookie" 1000 "$stubs" \
  "DISPLAY=:5 XAUTHORITY=$work/runtime/cookie" 0 "$(printf '%s\n' "$through_sudo" \
    "sudo env DISPLAY=:5 XAUTHORITY=$work/runtime/cookie $program --an-argument")"
expect "a user on Wayland: the socket's full path" 1000 "$stubs" "WAYLAND_DISPLAY=wayland-1" 0 \
  "$(printf '%s\n' "$through_sudo" \
    "sudo env QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=$socket $program --an-argument")"
expect "root on Wayland and X: Wayland first, X if it fails" 0 "$stubs" \
  "WAYLAND_DISPLAY=wayland-1 DISPLAY=:5" 0 \
  "movrano --an-argument DISPLAY=:5 WAYLAND_DISPLAY=wayland-1 QT_QPA_PLATFORM=wayland;xcb XAUTHORITY="
expect "a Wayland display that does not listen: the X one" 0 "$stubs" \
  "WAYLAND_DISPLAY=wayland-9 DISPLAY=:5" 0 "$(printf '%s\n' \
    "run: no Wayland display listens at $work/runtime/wayland-9; using the X display :5." \
    "movrano --an-argument DISPLAY=:5 WAYLAND_DISPLAY=wayland-9 QT_QPA_PLATFORM=xcb XAUTHORITY=")"
expect "a Wayland display that does not listen, and no X one: said" 1000 "$stubs" \
  "WAYLAND_DISPLAY=$work/runtime/wayland-9" 1 "$(printf '%s\n' \
    "run: Movrano is built ($program), but no Wayland display listens at $work/runtime/wayland-9" \
    "run: (WAYLAND_DISPLAY), and no X display is set (DISPLAY).")"
expect "no display: said, with the ways to one" 1000 "$stubs" "" 1 "$(printf '%s\n' \
  "run: Movrano is built ($program), but no display is set (DISPLAY and" \
  "run: WAYLAND_DISPLAY are empty), so its window cannot open here. Start it from a" \
  "run: desktop session, or from another machine over SSH with X forwarding" \
  "run: (ssh -X), as the README says.")"
expect "no display, a virtual one asked for: xvfb-run as root" 1000 "$stubs" "MOVRANO_XVFB=1" 0 \
  "$(printf '%s\n' \
    "run: no display is set; starting Movrano on a virtual X display (xvfb-run) that nobody sees, for automation." \
    "$through_sudo" \
    "sudo env xvfb-run -a -s -screen 0 1280x1024x24 $program --an-argument")"
expect "a platform chosen by hand is taken as it is" 0 "$stubs" "QT_QPA_PLATFORM=offscreen" 0 \
  "movrano --an-argument DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM=offscreen XAUTHORITY="
expect "a user without sudo: said" 1000 "$work/empty" "DISPLAY=:5" 1 "$(printf '%s\n' \
  "run: Movrano manages services and so runs as root; run this as root, or as a" \
  "run: user with sudo.")"
exit $((failures > 0))
