# Named checks for the shell tests: each prints ok or FAIL and the test
# carries on, so one run shows every failure; report_checks ends the test.
# Each line ends with the seconds since the test began, to show where a
# slow test spends its time.
# Sourced; the caller sets -u and pipefail as it likes.
failures=0

check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok   $what [${SECONDS}s]"; else echo "FAIL $what [${SECONDS}s]"; failures=$((failures + 1)); fi
}

report_checks() {  # report_checks TEST_NAME
  if [ "$failures" -gt 0 ]; then
    echo "$1: $failures check(s) failed"
    exit 1
  fi
  echo "$1: all checks passed"
}
