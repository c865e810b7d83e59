#!/bin/sh
# The harness's own promises, in the sandbox (tests/harness/run-wine-program):
#   harness_test.sh never-reached-main PROGRAM   PROGRAM: any Windows program that is no test program
#   harness_test.sh wine-lines RELEASE_CHECK     RELEASE_CHECK: ombup-release.exe, which writes to stderr
#   harness_test.sh killed-after-result
set -u
here=$(cd "$(dirname "$0")" && pwd)
scratch=$OMBUP_WORK_DIR/harness-$1
rm -rf "$scratch"
mkdir -p "$scratch/sandbox"
fail() { echo "FAILED: $*"; exit 1; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

case $1 in
never-reached-main)
  # Run as a test, a program that never reaches a test's main: it fails,
  # says so, and was started twice, the first start logged, in a scratch
  # log folder here.
  "$here/wine-run" --log-dir "$scratch/sandbox" --test "$2" "$(winpath "$scratch/out.txt")" >"$scratch/stdout" 2>"$scratch/stderr"
  status=$?
  cat "$scratch/stderr"
  [ "$status" != 0 ] || fail "exit status 0"
  grep -q "ended with exit status 0 after .* s: not a test's own ending; it never reached its main" "$scratch/stderr" ||
    fail "no line saying that main was never reached"
  grep -q "that was the second start" "$scratch/stderr" || fail "not started a second time"
  [ "$(grep -c '^== ' "$scratch/sandbox/retries.log")" = 1 ] || fail "the first start is not logged once in retries.log"
  # The same program, run as a program, ends as it ends.
  "$here/wine-run" --log-dir "$scratch/sandbox" "$2" "$(winpath "$scratch/out.txt")" 2>"$scratch/stderr" ||
    fail "run as a program: exit status $?"
  [ ! -s "$scratch/stderr" ] || fail "run as a program, it printed $(cat "$scratch/stderr")"
  # Wine cannot start it at all: its exit status and Wine's reason are shown.
  "$here/wine-run" --log-dir "$scratch/sandbox" --test "$scratch/missing.exe" 2>"$scratch/stderr"
  status=$?
  cat "$scratch/stderr"
  [ "$status" != 0 ] || fail "a missing program: exit status 0"
  grep -q "missing.exe" "$scratch/stderr" && grep -q "ended with exit status $status " "$scratch/stderr" ||
    fail "a missing program: no exit status or no word from Wine"
  ;;
killed-after-result)
  # A test program that is killed once its main has given the result keeps
  # that result, said and logged; killed before it, it fails.
  . "$here/run-wine-program"
  run_wine_program_test=yes
  for result in 0 1; do
    (run_wine_program "$scratch/sandbox" "ended $result" sh -c \
      'echo started > "$OMBUP_TEST_STARTED"; echo "[ RESULT ]"; echo "ended $1" > "$OMBUP_TEST_STARTED"; kill -9 $$' sh "$result") \
      >"$scratch/stdout" 2>"$scratch/stderr"
    status=$?
    cat "$scratch/stderr"
    [ "$status" = "$result" ] || fail "killed after its result $result: exit status $status"
    grep -q "killed by signal 9 after .* once its main had returned $result" "$scratch/stderr" || fail "not said"
  done
  [ "$(grep -c '^== ' "$scratch/sandbox/late-endings.log")" = 2 ] || fail "not logged twice in late-endings.log"
  (run_wine_program "$scratch/sandbox" "killed in its test" sh -c \
    'echo started > "$OMBUP_TEST_STARTED"; echo "[ RUN ]"; kill -9 $$') >"$scratch/stdout" 2>"$scratch/stderr"
  status=$?
  cat "$scratch/stderr"
  [ "$status" = 137 ] || fail "killed during its test: exit status $status"
  grep -q "killed by signal 9 (SIGKILL) .* not a test's own ending; its main had begun" "$scratch/stderr" ||
    fail "killed during its test: not said"
  ;;
wine-lines)
  # Wine traces every DLL it loads, in cmd and in the child whose output
  # cmd redirects, to the Unix standard error...
  . "$here/lane"
  lane_take || exit
  WINEDEBUG=-all,+loaddll "$here/wine-start" nsenter --net="$OMBUP_LANE_NETNS" /usr/lib/wine/wine64 cmd /c \
    "$(winpath "$2") check --bogus > $(winpath "$scratch/child.txt") 2>&1 & exit 0" 2>"$scratch/trace" >/dev/null
  grep -q "trace:loaddll.*ombup-release.exe" "$scratch/trace" || fail "Wine traced no DLL load of the child"
  # ...and none of it reaches the redirected file or the output of a run
  # that passed.
  OMBUP_WINEDEBUG=-all,err+all,+loaddll "$here/wine-run" cmd /c \
    "$(winpath "$2") check --bogus > $(winpath "$scratch/child.txt") 2>&1 & exit 0" >"$scratch/stdout" 2>"$scratch/stderr" ||
    fail "cmd: exit status $?: $(cat "$scratch/stderr")"
  grep -q "ombup-release: " "$scratch/child.txt" || fail "the child's own output is missing: $(cat "$scratch/child.txt")"
  ! grep -q "trace:loaddll" "$scratch/child.txt" || fail "Wine's lines in the child's redirected output"
  ! grep -q "trace:loaddll" "$scratch/stderr" || fail "Wine's lines in the output of a run that passed"
  ;;
*)
  fail "unknown case $1"
  ;;
esac
echo "ok"
