# Shared by scripts/test, scripts/test-sanitizers and .ci/run (sourced, not run): each suite
# is a build and its CTest run, logged to "$suite_logs/<name>.log"; one closing line counts
# the tests of every suite logged there.
#
# TOMARUGI_SUITE_LOGS names a folder to keep the logs in, so that a caller running several
# commands (.ci/run) can count them all at the end; without it the logs go to a scratch
# folder removed on exit.

if [ -n "${TOMARUGI_SUITE_LOGS:-}" ]; then
  suite_logs=$TOMARUGI_SUITE_LOGS
  mkdir -p "$suite_logs"
else
  suite_logs=$(mktemp -d)
  trap 'rm -rf "$suite_logs"' EXIT
fi
suites_failed=0

# run_suite NAME COMMAND...: runs the command (a shell function or program) with its output
# shown and logged. A failure is remembered and the next suite still runs.
run_suite() {
  local name=$1
  shift
  echo "== $name"
  local status=0
  "$@" 2>&1 | tee "$suite_logs/$name.log" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "== $name: failed (exit $status)"
    echo "suite-failed: $name" >>"$suite_logs/$name.log"
    suites_failed=1
  fi
}

# print_suite_summary: "all suites: N passed, N failed" over every log in the folder. A suite
# that stopped before CTest reported (its build failed) counts as one failed test.
print_suite_summary() {
  local passed=0 failed=0 log counts
  for log in "$suite_logs"/*.log; do
    [ -e "$log" ] || continue
    counts=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log" | tail -n 1)
    if [ -z "$counts" ]; then
      if grep -q '^suite-failed: ' "$log"; then
        failed=$((failed + 1))
      fi
      continue
    fi
    set -- $counts
    failed=$((failed + $1))
    passed=$((passed + $2 - $1))
  done
  echo "all suites: $passed passed, $failed failed"
}
