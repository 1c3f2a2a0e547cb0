#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building and testing
# Movrano, and makes sure the local Firebird server runs with the account
# the program uses. Quiet and quick when everything is already in place.
set -euo pipefail

FB_PASSWORD="quartzfen"
PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format
  firebird-dev libfbclient2 firebird3.0-server firebird3.0-utils
  libcurl4-openssl-dev libpugixml-dev libcrypto++-dev
  libzip-dev zipcmp zipmerge ziptool liblzma-dev
  qt6-base-dev xvfb xauth
  libsqlite3-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  echo "firebird3.0-server shared/firebird/enabled boolean true" | as_root debconf-set-selections
  echo "firebird3.0-server shared/firebird/sysdba_password/first_install password ${FB_PASSWORD}" \
    | as_root debconf-set-selections
  echo "firebird3.0-server shared/firebird/sysdba_password/new_password password ${FB_PASSWORD}" \
    | as_root debconf-set-selections
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

port_open() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }

if ! port_open; then
  as_root /etc/init.d/firebird3.0 start >/dev/null 2>&1 || true
  for _ in $(seq 1 100); do
    port_open && break
    sleep 0.1
  done
  if ! port_open; then
    echo "setup: the Firebird server does not answer on 127.0.0.1:3050" >&2
    exit 1
  fi
fi

# The server's SYSDBA password must be the program's. Probe it over TCP
# and, when it differs (an earlier install chose another), set it through
# the security database directly, which needs no password as root.
probe_dir=$(mktemp -d)
chmod 777 "$probe_dir"
probe_sql="create database 'localhost:${probe_dir}/probe.fdb' user 'SYSDBA' password '${FB_PASSWORD}'; drop database;"
if ! echo "$probe_sql" | isql-fb -q >/dev/null 2>&1; then
  # The security database opens without a password while the server is down.
  as_root /etc/init.d/firebird3.0 stop >/dev/null 2>&1 || true
  sleep 1
  printf "alter user SYSDBA password '%s';\ncommit;\n" "$FB_PASSWORD" \
    | as_root isql-fb -q -user SYSDBA /var/lib/firebird/3.0/system/security3.fdb >/dev/null 2>&1 || true
  as_root /etc/init.d/firebird3.0 start >/dev/null 2>&1 || true
  for _ in $(seq 1 100); do
    port_open && break
    sleep 0.1
  done
  if ! echo "$probe_sql" | isql-fb -q >/dev/null 2>&1; then
    rm -rf "$probe_dir"
    echo "setup: the Firebird server does not accept SYSDBA with the program's password" >&2
    exit 1
  fi
fi
rm -rf "$probe_dir"
