# Shared by the end-to-end shell tests: counted checks and byte comparison.
failures=0

check() { # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# same_bytes EXPECTED FILE: EXPECTED is printf %b text (\r, \n, \xHH).
same_bytes() { cmp -s <(printf '%b' "$1") "$2"; }

finish() {
  echo "$failures failed"
  exit $((failures > 0))
}
