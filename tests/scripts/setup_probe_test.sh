#!/usr/bin/env bash
# The setup script's SYSDBA probe against the local server, with a
# temporary folder that the server's own user cannot reach: the right
# password is accepted, a wrong one refused as a login, and a server that
# does not answer is another failure. Then what setup does with each
# verdict, with the probe and every root command played here: only a
# refused login changes the password, and setup says so in one line.
# Nothing here stops the server or changes its password.
#   setup_probe_test.sh <scripts/setup.sh>
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=../../scripts/setup.sh
source "$1"

failures=0
expect() {
  local what="$1" wanted="$2" wanted_code="$3" got code
  got=$(sysdba_login_probe "$4")
  code=$?
  if [[ "$got" != "$wanted"* || $code -ne $wanted_code ]]; then
    echo "FAIL: $what: got \"$got\" ($code), wanted \"$wanted\" ($wanted_code)"
    failures=$((failures + 1))
  else
    echo "ok: $what: $got"
  fi
}

private=$(mktemp -d)
trap 'rm -rf "$private"' EXIT
chmod 0700 "$private"
export TMPDIR="$private/unreachable"
mkdir -m 0700 "$TMPDIR"

expect "the program's password" "password accepted" 0 "$FB_PASSWORD"
expect "a wrong password" "login refused" 1 "not-the-${FB_PASSWORD}"
fb_service="127.0.0.1/1:service_mgr"
expect "no server on the port" "other failure: " 2 "$FB_PASSWORD"

# ensure_sysdba_password with the given verdicts of the probe, one per
# call; prints what it printed, the root commands it would have run, and
# its exit code.
ensure_with() {
  (
    record="$private/record"
    : >"$record"
    verdicts=("$@")
    # The probe runs in a command substitution: its count lives in the record.
    sysdba_login_probe() {
      local calls verdict
      calls=$(grep -c "^probe" "$record")
      verdict="${verdicts[calls]:-password accepted}"
      echo "probe" >>"$record"
      echo "$verdict"
      [ "$verdict" = "password accepted" ]
    }
    as_root() { echo "root: $*" >>"$record"; }
    wait_for_port() { :; }
    sleep() { :; }
    (ensure_sysdba_password) 2>&1
    echo "exit: $?"
  )
  grep -v "^probe" "$private/record"
}

expect_ensure() {
  local what="$1" wanted="$2"
  shift 2
  local got
  got=$(ensure_with "$@")
  if [[ "$got" != "$wanted" ]]; then
    printf 'FAIL: %s:\n%s\nwanted:\n%s\n' "$what" "$got" "$wanted"
    failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}

expect_ensure "accepted: nothing changes" "exit: 0" "password accepted"
persistent_failure=()
for _ in $(seq 1 20); do persistent_failure+=("other failure: I/O error"); done
expect_ensure "another failure: nothing changes, and setup stops" "$(
  printf '%s\n' \
    "setup: cannot check the Firebird server's SYSDBA login, nothing changed: I/O error" \
    "exit: 1"
)" "${persistent_failure[@]}"
expect_ensure "a server still starting: asked again, nothing changes" "exit: 0" \
  "other failure: connection refused" "password accepted"
expect_ensure "refused: the password is set, in one line" "$(
  printf '%s\n' \
    "setup: the Firebird server refused SYSDBA with the program's password; changed SYSDBA's password to it" \
    "exit: 0" \
    "root: /etc/init.d/firebird3.0 stop" \
    "root: isql-fb -q -user SYSDBA /var/lib/firebird/3.0/system/security3.fdb" \
    "root: /etc/init.d/firebird3.0 start"
)" "login refused" "password accepted"
exit $((failures > 0))
