#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building, testing and
# running Movrano, and makes sure the local Firebird server runs with the
# account the program uses. Says each step in one line before it starts,
# and nothing when everything is already in place. Run as root or as a
# user with sudo: what needs root is asked of sudo.
FB_PASSWORD="quartzfen"
# The local server's service manager: a login there needs no database file
# and no temporary folder that the server's own user must reach.
fb_service="localhost:service_mgr"
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  firebird-dev libfbclient2 firebird3.0-server firebird3.0-utils
  libcurl4-openssl-dev libcrypto++-dev
  libzip-dev zipcmp zipmerge ziptool liblzma-dev
  qt6-base-dev qt6-wayland xvfb xauth
  libsqlite3-dev libcpp-httplib-dev zlib1g-dev
  libgtest-dev libgmock-dev
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "setup: this step needs root ($1): run it as root, or as a user with sudo" >&2
    return 1
  fi
}

# The server listens on the first address of "localhost": 127.0.0.1, or ::1
# where the hosts file names that first.
port_open() { (exec 3<>/dev/tcp/localhost/3050) 2>/dev/null; }

wait_for_port() {
  for _ in $(seq 1 100); do
    port_open && return 0
    sleep 0.1
  done
  port_open
}

# sysdba_login_probe <password>: whether the server takes SYSDBA with that
# password. Prints "password accepted", "login refused" (the server refused
# exactly that login) or "other failure: <the server's message>", and
# answers 0, 1 or 2. The password goes through the environment, not the
# command line that every local user can see.
sysdba_login_probe() {
  local output
  if output=$(ISC_USER=SYSDBA ISC_PASSWORD="$1" fbsvcmgr "$fb_service" info_server_version 2>&1); then
    echo "password accepted"
    return 0
  fi
  if grep -q "Your user name and password are not defined" <<<"$output"; then
    echo "login refused"
    return 1
  fi
  echo "other failure: $(head -n 1 <<<"$output")"
  return 2
}

# The packages to download for the missing ones, with what they need:
# prints their count and their size in MB. Needs the package lists.
download_size() {
  apt-get install -y --no-install-recommends --print-uris -qq "$@" \
    | awk '/^\x27/ { n++; bytes += $3 } END { printf "%d %d\n", n, (bytes + 500000) / 1000000 }'
}

# apt's own output, less the lines that tell a newcomer nothing: debconf's
# note that it configures later without apt-utils, and the server
# package's note on the home folder of the user it makes.
apt_quietly() {
  as_root env DEBIAN_FRONTEND=noninteractive "$@" 2> >(grep -v \
    -e "^debconf: delaying package configuration, since apt-utils is not installed" \
    -e "^adduser: Warning: The home directory \`/var/lib/firebird' does not belong" >&2)
}

install_missing_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "setup: updating the package lists, to install ${missing[*]}"
  apt_quietly apt-get update -q
  local count size
  read -r count size < <(download_size "${missing[@]}")
  if [[ "$size" =~ ^[1-9][0-9]*$ ]]; then size="about $size MB"; else size="less than 1 MB"; fi
  echo "setup: installing ${#missing[@]} packages and what they need: $count packages, $size to download"
  # A server installed here gets the program's password from the start.
  echo "firebird3.0-server shared/firebird/enabled boolean true" | as_root debconf-set-selections
  echo "firebird3.0-server shared/firebird/sysdba_password/first_install password ${FB_PASSWORD}" \
    | as_root debconf-set-selections
  echo "firebird3.0-server shared/firebird/sysdba_password/new_password password ${FB_PASSWORD}" \
    | as_root debconf-set-selections
  apt_quietly apt-get install -y --no-install-recommends "${missing[@]}"
}

start_server() {
  port_open && return 0
  echo "setup: starting the Firebird server (localhost:3050)"
  as_root /etc/init.d/firebird3.0 start >/dev/null 2>&1 || true
  if ! wait_for_port; then
    echo "setup: the Firebird server does not answer on localhost:3050" >&2
    exit 1
  fi
}

# The server's SYSDBA password must be the program's. It is changed only
# when the server refused exactly that login (an earlier install chose
# another password), through the security database directly, which needs
# no password as root; any other failure changes nothing.
ensure_sysdba_password() {
  local verdict
  # A server that has just started may not answer its service manager yet.
  for _ in $(seq 1 20); do
    verdict=$(sysdba_login_probe "$FB_PASSWORD") && return 0
    [ "${verdict#other failure}" = "$verdict" ] && break
    sleep 0.5
  done
  if [ "$verdict" != "login refused" ]; then
    echo "setup: cannot check the Firebird server's SYSDBA login, nothing changed: ${verdict#other failure: }" >&2
    exit 1
  fi
  # The security database opens without a password while the server is down.
  as_root /etc/init.d/firebird3.0 stop >/dev/null 2>&1 || true
  sleep 1
  printf "alter user SYSDBA password '%s';\ncommit;\n" "$FB_PASSWORD" \
    | as_root isql-fb -q -user SYSDBA /var/lib/firebird/3.0/system/security3.fdb >/dev/null 2>&1 || true
  as_root /etc/init.d/firebird3.0 start >/dev/null 2>&1 || true
  wait_for_port || true
  if ! verdict=$(sysdba_login_probe "$FB_PASSWORD"); then
    echo "setup: the Firebird server does not accept SYSDBA with the program's password: $verdict" >&2
    exit 1
  fi
  echo "setup: the Firebird server refused SYSDBA with the program's password; changed SYSDBA's password to it"
}

main() {
  set -euo pipefail
  install_missing_packages
  start_server
  ensure_sysdba_password
}

# Sourced (by the setup tests), the script only defines its functions.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
