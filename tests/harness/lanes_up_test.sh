#!/bin/sh
# Every lane of the sandbox comes up, each with a display of its own. The
# i386 lanes come up while the first tests run; this waits for them as long
# as their start may take, and the i386 tree's tests need it first (a CTest
# fixture), so that no test waits for its lane against its own time-out.
set -u
. "$(dirname "$0")/lane"
failed=0
displays=
ids=$(cut -d' ' -f2 "$OMBUP_LANES_DIR/list" 2>/dev/null)
[ -n "$ids" ] || { echo "no lanes listed in $OMBUP_LANES_DIR/list"; exit 1; }
for id in $ids; do
  lane_wait_ready "$id" || { failed=1; continue; }
  display=$(sed -n 's/^export DISPLAY=//p' "$OMBUP_LANES_DIR/$id.env")
  echo "lane $id up on display $display"
  displays="$displays$display $id
"
done
# The demo gives every lane the user's display; a test run never does.
if [ -z "${OMBUP_SANDBOX_KEEP_DISPLAY:-}" ]; then
  shared=$(printf '%s' "$displays" | awk '{ lanes[$1] = lanes[$1] " " $2; n[$1]++ }
    END { for (d in n) if (n[d] > 1) print "lanes" lanes[d] " share the display " d }')
  [ -z "$shared" ] || { echo "$shared"; failed=1; }
fi
[ "$failed" = 0 ] && echo "every lane is up, each on its own display"
exit $failed
