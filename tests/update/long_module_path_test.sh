#!/bin/sh
# An updater started from a folder whose path is longer than MAX_PATH still
# names that folder, whole, as its own.
#   long_module_path_test.sh PRINT_MODULE_DIRECTORY_EXE
set -eu
dir=$OMBUP_WORK_DIR/long-module-path
while [ ${#dir} -lt 340 ]; do dir=$dir/a-rather-long-folder-name; done
mkdir -p "$dir"
cp "$1" "$dir/"
out=$OMBUP_WORK_DIR/long-module-path.txt
"$OMBUP_SOURCE_DIR/tests/harness/wine-run" "$dir/$(basename "$1")" "Z:$(printf '%s' "$out" | tr / '\\')" || {
  echo "the program failed to name its folder"
  exit 1
}
expected="Z:$(printf '%s' "$dir" | tr / '\\')"
actual=$(cat "$out")
if [ "$actual" != "$expected" ]; then
  printf 'expected %s\n     got %s\n' "$expected" "$actual"
  exit 1
fi
echo "module directory of ${#expected} characters read whole"
