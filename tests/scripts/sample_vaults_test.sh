#!/usr/bin/env bash
# The sample vaults script against the local server, as the tryout runs it:
# a folder the server's user cannot reach (below a private home folder) is
# refused, and a run that fails half-way leaves nothing of its own behind,
# so that the next try in the same folder makes every vault and the
# registry file. A vault that exists already is refused before anything is
# made. Needs root, as the script itself does.
#   sample_vaults_test.sh <scripts/make-sample-vaults.sh>
set -uo pipefail
if [[ $(id -u) -ne 0 ]]; then
  echo "needs root: the sample vaults are made as root (the script asks sudo otherwise)"
  exit 77
fi
script="$1"

work=$(mktemp -d /tmp/movrano-sample-vaults.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"
vaults=("Outpost Vault" "Solo Vault" "Tavrin Vault" "Solo Vault (empty)" "Tavrin Vault (sample)")

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# run <what> <wanted exit code> <wanted text in the output> <argument>...
run() {
  local what="$1" wanted_code="$2" wanted="$3" output code
  shift 3
  output=$(bash "$script" "$@" 2>&1)
  code=$?
  if [[ $code -ne $wanted_code || "$output" != *"$wanted"* ]]; then
    fail "$what: exit $code (wanted $wanted_code), output:"
    echo "$output"
  else
    echo "ok: $what"
  fi
}
# The folder's entries, one a line.
entries() { (cd "$1" && find . -mindepth 1 | sort); }

mkdir -m 0700 "$work/home"
run "a folder below a private home folder" 1 "cannot reach $work/home/samples" \
  "$work/home/samples" "$work/Registry.reg"
[[ -z "$(entries "$work/home")" ]] || fail "the refused folder was left: $(entries "$work/home")"
[[ ! -e "$work/Registry.reg" ]] || fail "the refused run left the registry file"

# A server that fails the third database: the first two vaults, made
# already, go again; what was in the folder before stays.
mkdir "$work/samples"
echo "kept" >"$work/samples/mine.txt"
cat >"$work/isql" <<'EOF'
#!/bin/sh
input=$(cat)
case "$input" in
  *"Tavrin Vault/Database"*) echo "Statement failed, SQLSTATE = 08001" >&2; exit 1 ;;
esac
printf '%s\n' "$input" | exec isql-fb "$@"
EOF
chmod +x "$work/isql"
before=$(entries "$work/samples")
ISQL="$work/isql" run "a server that fails half-way" 1 "Could not make $work/samples/Tavrin Vault" \
  "$work/samples" "$work/Registry.reg"
[[ "$(entries "$work/samples")" == "$before" ]] ||
  fail "the failed run left: $(entries "$work/samples")"
[[ ! -e "$work/Registry.reg" ]] || fail "the failed run left the registry file"

# A folder that the run makes itself goes too.
ISQL="$work/isql" run "a server that fails half-way in a new folder" 1 "Could not make" \
  "$work/new/samples"
[[ ! -e "$work/new" ]] || fail "the failed run left the folders it made: $(entries "$work/new")"

run "the next try" 0 "Registry: $work/Registry.reg" "$work/samples" "$work/Registry.reg"
for vault in "${vaults[@]}"; do
  [[ -d "$work/samples/$vault" ]] || fail "no $vault"
done
for database in "Outpost Vault/_TavrinVaultResources/Private/Data/OUTPOST.FDB" \
  "Solo Vault/Database/SOLOVAULT.FDB" "Tavrin Vault/Database/VAULT.FDB"; do
  [[ -s "$work/samples/$database" ]] || fail "no database $database"
done
grep -qF "\"Path\"=\"$work/samples/Tavrin Vault/Vault/\"" "$work/Registry.reg" ||
  fail "the registry file does not name the server vault: $(cat "$work/Registry.reg")"

mkdir "$work/again"
mkdir "$work/again/Solo Vault"
run "a vault that exists already" 1 "$work/again/Solo Vault already exists" "$work/again" \
  "$work/again.reg"
[[ "$(entries "$work/again")" == "./Solo Vault" ]] ||
  fail "the refused run made: $(entries "$work/again")"
[[ ! -e "$work/again.reg" ]] || fail "the refused run made the registry file"
exit $((failures > 0))
