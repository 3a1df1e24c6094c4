# Assertions shared by the install tests. Each failed check prints what differed and
# counts; finish ends the test with status 1 if any check failed.

failures=0

# expect_eq what expected actual
expect_eq() {
  if [ "$2" != "$3" ]; then
    printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3" >&2
    failures=$((failures + 1))
  fi
}

# expect what command...: the command succeeds.
expect() {
  local what=$1
  shift
  if ! "$@"; then
    printf 'FAILED: %s (%s)\n' "$what" "$*" >&2
    failures=$((failures + 1))
  fi
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
