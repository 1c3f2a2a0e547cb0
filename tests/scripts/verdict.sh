# Sourced by the script tests: the verdict on one case, and the count of
# cases that failed.
failures=0
# verdict <what> <output> <exit code> <wanted output> <wanted exit code>
verdict() {
  if [[ "$2" != "$4" || $3 -ne $5 ]]; then
    printf 'FAIL: %s (exit %d, wanted %d):\n%s\nwanted:\n%s\n' "$1" "$3" "$5" "$2" "$4"
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}
