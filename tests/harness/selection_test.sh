#!/usr/bin/env bash
# What scripts/test hands CTest (steps_ctest_selection in scripts/steps.bash)
# selects as its user means, run by a real CTest over tests labelled as ours
# are: --full, --fast and the user's own -L and -LE combine, and a selection
# of no test fails.
set -u
source "$OMBUP_SOURCE_DIR/scripts/steps.bash"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
{
  for name in plain slow full wow64-full i386 i386-slow; do echo "add_test($name true)"; done
  echo 'set_tests_properties(slow PROPERTIES LABELS slow)'
  echo 'set_tests_properties(full PROPERTIES LABELS full)'
  echo 'set_tests_properties(wow64-full PROPERTIES LABELS "i386;wow64-full")'
  echo 'set_tests_properties(i386 PROPERTIES LABELS i386)'
  echo 'set_tests_properties(i386-slow PROPERTIES LABELS "i386;slow")'
} > "$dir/CTestTestfile.cmake"
failed=0
# expect "WHAT RUNS" ARGS...: the names that run, in order, or "fails".
expect() {
  local want=$1 got selection status
  shift
  selection=$(steps_ctest_selection "$@") || { echo "FAILED: $*: no selection"; failed=1; return; }
  mapfile -t args <<< "$selection"
  got=$(ctest --test-dir "$dir" "${args[@]}" 2>&1)
  status=$?
  local ran
  ran=$(printf '%s\n' "$got" | sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*/\1/p' | sort | tr '\n' ' ')
  [ "$status" = 0 ] || ran=fails
  if [ "$ran" = "$want" ]; then echo "ok: ${*:-(none)} runs $want"; else
    echo "FAILED: ${*:-(none)}: ran $ran, not $want"; printf '%s\n' "$got"; failed=1
  fi
}
expect "i386 i386-slow plain slow "
expect "full i386 i386-slow plain slow wow64-full " --full
expect "i386 plain " --fast
expect "full i386 plain wow64-full " --full --fast
expect "i386 " --fast -L i386
expect "plain " --fast -LE i386
expect "fails" -R nothing-at-all
exit $failed
