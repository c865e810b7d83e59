#!/bin/sh
# Every case that tests/e2e/CMakeLists.txt names, to run it in a prefix of
# its own, is a case of the suite:
#   case_lists_test.sh TEST_E2E_EXE NAME...
set -u
exe=$1
shift
cases=$("$OMBUP_SOURCE_DIR/tests/harness/wine-run" "$exe" --gtest_list_tests | tr -d '\r' |
  awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }') || { echo "cannot list the cases of $exe"; exit 1; }
[ -n "$cases" ] || { echo "$exe lists no case"; exit 1; }
missing=0
for name in "$@"; do
  printf '%s\n' "$cases" | grep -qxF "$name" || { echo "no case $name"; missing=1; }
done
[ "$missing" = 0 ] && echo "all $# names are cases"
exit $missing
