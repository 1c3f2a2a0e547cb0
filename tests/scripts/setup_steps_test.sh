#!/usr/bin/env bash
# What setup says while it installs packages, with dpkg, apt and debconf
# played by the scripts in fake-apt/ (found first on PATH, also through
# env) and root commands run as they are: nothing when all is in place;
# otherwise one line before the package lists are updated and one with the
# count and the download size before the install, apt's own output shown
# as it comes less the lines that tell a newcomer nothing, and apt's
# failure is setup's.
#   setup_steps_test.sh <scripts/setup.sh>
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=../../scripts/setup.sh
source "$1"
fakes="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/fake-apt"
[[ -x "$fakes/apt-get" ]] || { echo "FAIL: no fake apt-get in $fakes"; exit 1; }
export PATH="$fakes:$PATH"
as_root() { "$@"; }

# shellcheck source=verdict.sh
source "$(dirname "${BASH_SOURCE[0]}")/verdict.sh"
# expect <what> <wanted exit code> <wanted output>
expect() {
  local what="$1" wanted_code="$2" wanted="$3" got code
  got=$(install_missing_packages 2>&1)
  code=$?
  verdict "$what" "$got" "$code" "$wanted" "$wanted_code"
}

export missing_now=""
expect "everything in place: nothing said" 0 ""
missing_now="cmake qt6-wayland"
steps=(
  "setup: updating the package lists, to install cmake qt6-wayland"
  "Get:1 http://deb.debian.org/debian bookworm InRelease [151 kB]"
  "setup: installing 2 packages and what they need: 2 packages, about 2 MB to download"
  "Setting up a (1.0) ..."
  "W: a warning that matters"
)
expect "packages missing: each step, and apt's own lines" 0 "$(printf '%s\n' "${steps[@]}")"
export install_fails=1
expect "apt fails: setup fails" 100 "$(printf '%s\n' "${steps[@]}")"
exit $((failures > 0))
