#!/usr/bin/env bash
# Makes sample vaults to try the program on, in the folder given:
#   "Outpost Vault"             an Outpost vault with the sample content (a source)
#   "Solo Vault"                a Solo Vault with the sample content (a source)
#   "Tavrin Vault"              a freshly installed server vault (a destination)
#   "Solo Vault (empty)"        a freshly installed Solo Vault (a destination)
#   "Tavrin Vault (sample)"     a server vault with the sample content and an
#                               empty part catalog (for the catalog and Oracle modes)
# Each one has its Firebird database (made through the local server with
# isql-fb), its file store and the configuration file the program reads.
# The schema and row scripts are those of the tests (tests/support/vaults).
# With a registry file named, it also writes the registry export through
# which the program finds them ("Registry.reg" beside the program): the
# Outpost and Solo vault services and the server vault "Tavrin Vault".
# It runs as root, as the program does (through sudo for another user), and
# a run that fails removes what it made, so that the next one can start
# afresh.
#   make-sample-vaults.sh <folder> [<registry file>]
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 || $1 == -* ]]; then
  echo "usage: $0 <folder> [<registry file>]" >&2
  exit 2
fi
if [[ "$(id -u)" -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "The vaults are the program's, which runs as root: run this as root." >&2
    exit 1
  fi
  echo "The vaults are the program's, which runs as root: asking sudo."
  exec sudo ISQL="${ISQL:-isql-fb}" bash "$0" "$@"
fi
registry="${2:-}"

here="$(cd "$(dirname "$0")/.." && pwd)"
data="$here/tests/support/vaults"
isql="${ISQL:-isql-fb}"
# The account the program itself uses on the local server.
fb_user=SYSDBA
fb_password=quartzfen

# What this run made, removed again when it does not finish: a half-made
# set would block the next try.
made=()
finished=false
remove_what_was_made() {
  "$finished" && return
  local i
  for ((i = ${#made[@]} - 1; i >= 0; i--)); do rm -rf -- "${made[i]}"; done
}
trap remove_what_was_made EXIT
trap 'exit 130' INT TERM HUP

refuse_existing() {
  if [[ -e "$1" || -L "$1" ]]; then
    echo "$1 already exists; remove it first." >&2
    exit 1
  fi
}

vaults=("Outpost Vault" "Solo Vault" "Tavrin Vault" "Solo Vault (empty)" "Tavrin Vault (sample)")
for name in "${vaults[@]}"; do refuse_existing "$1/$name"; done
[[ -z "$registry" ]] || refuse_existing "$registry"

# The folder, and those above it that do not exist yet, made open to all
# for reading: the server runs as its own user and must reach it.
at="$1"
opened=()
while [[ ! -e "$at" && ! -L "$at" ]]; do
  opened=("$at" "${opened[@]}")
  at="$(dirname "$at")"
done
if [[ ${#opened[@]} -gt 0 ]]; then
  made+=("${opened[0]}")
  mkdir -p "$1"
  chmod o+rx "${opened[@]}"
fi
target="$(cd "$1" && pwd)"
server_user=firebird
if id "$server_user" >/dev/null 2>&1 && ! runuser -u "$server_user" -- test -x "$target"; then
  echo "The Firebird server's user ($server_user) cannot reach $target (a home folder is" \
    "private to its owner): choose a folder it can reach, such as /srv/movrano-samples." >&2
  exit 1
fi

# The server must reach every folder down to the database folder, and
# write that one.
open_to_server() {
  local folder="$1"
  mkdir -p "$folder"
  chmod 0777 "$folder"
  local at
  at="$(dirname "$folder")"
  while [[ "$at" != "$target" && "$at" != / ]]; do
    chmod o+rx "$at"
    at="$(dirname "$at")"
  done
}

# make_database <file> <script>...: creates the database through the server
# and runs the scripts in order, the rows committed at the end.
make_database() {
  local file="$1"
  shift
  open_to_server "$(dirname "$file")"
  {
    echo "SET NAMES UTF8;"
    echo "CREATE DATABASE 'localhost:$file' USER '$fb_user' PASSWORD '$fb_password'"
    echo "  DEFAULT CHARACTER SET UTF8;"
    for script in "$@"; do echo "INPUT '$data/$script';"; done
    echo "COMMIT;"
  } | "$isql" -q -bail -ch UTF8 || {
    echo "Could not make $file: is the Firebird server running, and can its user reach" \
      "$target?" >&2
    exit 1
  }
}

# fill_store <folder> sample|empty
fill_store() {
  mkdir -p "$1"
  if [[ $2 == sample ]]; then cp -a "$data/filestore/sample/." "$1/"; fi
}

# make_installed <install folder> solo|server sample|empty <script>...:
# a Solo Vault or server vault: LocalVault.ini beside the Vault folder.
make_installed() {
  local name="$1" edition="$2" content="$3"
  shift 3
  local install="$target/$name"
  refuse_existing "$install"
  made+=("$install")
  local database="$install/Database/VAULT.FDB" storage="$install/Revisions"
  if [[ $edition == solo ]]; then database="$install/Database/SOLOVAULT.FDB"; fi
  local version=ZaredorEvovu-1.0.1
  mkdir -p "$install/Vault"
  make_database "$database" "$@"
  fill_store "$storage" "$content"
  {
    echo "[General]"
    echo "DataSourceType=Firebird"
    if [[ $edition == solo ]]; then echo "KelmServerVer=$version"; fi
    echo
    echo "[DataSource]"
    echo "DatabaseFile=$database"
    echo
    echo "[Vault]"
    echo "FileStorageType=FileSystem"
    echo "RootFolder=$storage"
    echo
    echo "[Products]"
    if [[ $edition == server ]]; then echo "Tavrin Vault Server=$version"; fi
    echo "Tavrin Vault=$version"
  } >"$install/LocalVault.ini"
  echo "$name: vault folder $install/Vault/"
}

# An Outpost vault: Config.ini names its parts relative to the vault folder.
make_outpost() {
  local vault="$target/Outpost Vault"
  refuse_existing "$vault"
  made+=("$vault")
  local private="_TavrinVaultResources/Private"
  make_database "$vault/$private/Data/OUTPOST.FDB" schema/shared.sql schema/outpost.sql \
    seed/install-outpost.sql seed/sample-content.sql seed/sample-outpost.sql
  fill_store "$vault/$private/FileStorage" sample
  cat >"$vault/$private/Config.ini" <<INI
[DataSource]
DataSourceType=Firebird
DatabaseFile=$private/Data/OUTPOST.FDB

[FileStorage]
FileStorageType=FileSystem
RootFolder=$private/FileStorage
INI
  echo "Outpost Vault: vault folder $vault/"
}

solo_schema=(schema/shared.sql schema/solo.sql)
server_schema=(schema/shared.sql schema/solo.sql schema/server.sql schema/partcatalog.sql)

make_outpost
make_installed "Solo Vault" solo sample "${solo_schema[@]}" \
  seed/install-solo.sql seed/sample-content.sql seed/sample-solo.sql
make_installed "Tavrin Vault" server empty "${server_schema[@]}" seed/install-server.sql
make_installed "Solo Vault (empty)" solo empty "${solo_schema[@]}" seed/install-solo.sql
make_installed "Tavrin Vault (sample)" server sample "${server_schema[@]}" \
  seed/install-server.sql seed/sample-content.sql seed/sample-solo.sql seed/sample-server.sql

# A text as a ".reg" string value: backslashes and double quotes escaped.
reg_string() {
  local text="${1//\\/\\\\}"
  printf '"%s"' "${text//\"/\\\"}"
}

if [[ -n "$registry" ]]; then
  services='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\services'
  # A service's folder is that of its program; the programs need not exist.
  # Written only as a new file (noclobber), never through a link; once
  # made, it is this run's.
  set -C
  exec 3>"$registry"
  set +C
  made+=("$registry")
  {
    echo "Windows Registry Editor Version 5.00"
    echo
    echo "[$services\TavrinOutpostVaultService]"
    echo "\"ImagePath\"=$(reg_string "\"$target/Outpost Vault/OutpostVaultService\"")"
    echo
    echo "[$services\TavrinSoloVaultService]"
    echo "\"ImagePath\"=$(reg_string "\"$target/Solo Vault/Vault/SoloVaultService\"")"
    echo
    echo '[HKEY_LOCAL_MACHINE\SOFTWARE\Tavrin\Tavrin Vault\Vault]'
    echo "\"Path\"=$(reg_string "$target/Tavrin Vault/Vault/")"
  } >&3
  exec 3>&-
  echo "Registry: $registry"
fi
finished=true
