# Sourced by tests/harness/sandbox and sandbox-i386: the lanes of a test run.
#
# Windows, boxes and the release folder are seen per Wine prefix, so tests
# that look for windows, or publish a release, only need to be alone in
# their prefix. A lane is such a prefix with everything a test may share with
# the tests beside it: a prefix of its own (an overlay over the tree's
# template, so every run starts from the same prefix), its own wineserver, an
# Xvfb display, a network namespace with the release host on
# 127.0.0.1:443, and scratch and release folders. CTest hands out the lanes
# as resources (tests/harness/lane says how a test program finds its own):
# a test that must be alone in its prefix takes all of a lane's slots, the
# others one.
#
#   lanes_begin STATE_DIR          (the outer sandbox) a new list of lanes
#   lane_prepare KIND ID TEMPLATE  the lane's folders, prefix and namespace
#   lanes_finish                   the lanes as resources for CTest
#   display_start DIR SCREEN       an Xvfb, DISPLAY exported
#   lane_start KIND ID HOST_ARGS   its display, its wineserver (lane_wine_up
#                                  KIND ID, the caller's), its release host,
#                                  then LANES_DIR/ID.ready; a test program
#                                  waits for it (tests/harness/lane), so a
#                                  run need not wait for its slowest lane
#
# lane_slots: the slots of a lane. Each lane's folders are
# BUILD/lanes/ID/{wineprefix,work,www}; its processes end with the sandbox's
# PID namespace. The logs of a lane that did not come up are kept in
# BUILD/failed-starts/.

lane_slots=4

lanes_begin() {
  export OMBUP_LANES_DIR=$1/lanes
  export OMBUP_RESOURCES_FILE=$1/resources.json
  rm -rf "$OMBUP_LANES_DIR"
  mkdir -p "$OMBUP_LANES_DIR"
  rm -f "$OMBUP_RESOURCES_FILE"
}

lane_dir() { echo "$build/lanes/$1"; }

lane_prepare() {
  local kind=$1 id=$2 template=$3 dir
  dir=$(lane_dir "$id")
  rm -rf "$dir"
  mkdir -p "$dir/wineprefix" "$dir/layer" "$dir/layer-work" "$dir/work/readonly-source" "$dir/work/readonly" \
    "$dir/www"
  mount -t overlay overlay -o "lowerdir=$template,upperdir=$dir/layer,workdir=$dir/layer-work" "$dir/wineprefix"
  # Debian's Wine names the wineserver's socket folder in the prefix: each
  # lane's server makes its own.
  rm -f "$dir/wineprefix/wineserver"
  # work/readonly is a read-only view of work/readonly-source: tests put
  # files in through the latter and get a folder in which nothing can be
  # created, even as root.
  mount --bind "$dir/work/readonly-source" "$dir/work/readonly"
  mount -o remount,bind,ro "$dir/work/readonly"
  touch "$dir/netns"
  unshare --net="$dir/netns" ip link set lo up
  printf '%s %s %s\n' "$kind" "$id" "$lane_slots" >> "$OMBUP_LANES_DIR/list"
}

# Runs a command in the lane's network namespace.
in_lane() {
  local id=$1
  shift
  nsenter --net="$(lane_dir "$id")/netns" "$@"
}

# Waits up to a minute for a file to pass a test (-e, -s) while the process
# that makes it runs.
lane_wait_for() {
  local test=$1 file=$2 pid=$3
  for _ in $(seq 600); do
    [ "$test" "$file" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Starts an Xvfb of SCREEN (WxHxD) on a free display number and exports
# DISPLAY; its PID in xvfb_pid, its log DIR/xvfb.log. False when it does not
# come up. Every display of a sandbox starts in the sandbox's own network
# namespace (LANES_DIR/display.netns), never a lane's: an X server claims its
# number through an abstract socket, which is per network namespace, so
# servers in the lanes' namespaces all took :0, and with it the same compiled
# keymap file (/var/lib/xkb/server-0.xkm), which one of them now and then
# found gone ("XKB: Failed to compile keymap"). Wine in a lane reaches its
# display through the socket in /tmp/.X11-unix, which no network namespace
# hides; the sandbox keeps that folder and /var/lib/xkb its own.
display_start() {
  local dir=$1 screen=$2
  rm -f "$dir/display.number"
  nsenter --net="$OMBUP_LANES_DIR/display.netns" Xvfb -displayfd 3 -nolisten tcp -screen 0 "$screen" \
    3>"$dir/display.number" >"$dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  lane_wait_for -s "$dir/display.number" "$xvfb_pid" || { echo "Xvfb did not start, see $dir/xvfb.log" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$dir/display.number")"
}

# Copies what a lane that did not come up logged to FAILED_DIR/<time>-ID,
# which no later run empties, and names that folder.
lane_keep_failed_start() {
  local id=$1 failed_dir=$2 kept
  kept=$failed_dir/$(date +%Y%m%d-%H%M%S)-$id
  mkdir -p "$kept"
  cp "$(lane_dir "$id")"/*.log "$(lane_dir "$id")"/*.err "$(lane_dir "$id")"/*.out "$kept/" 2>/dev/null || true
  echo "lane $id: its logs are kept in $kept"
}

# Brings a lane up and marks it ready (LANES_DIR/ID.ready), or says why not
# (LANES_DIR/ID.failed, and on the standard error).
lane_start() {
  local id=$2 reasons
  reasons=$(lane_dir "$id")/start.err
  if lane_up "$@" 2>"$reasons"; then
    touch "$OMBUP_LANES_DIR/$id.ready"
    return 0
  fi
  [ -s "$reasons" ] || echo "lane $id did not come up" > "$reasons"
  lane_keep_failed_start "$id" "$build/failed-starts" >> "$reasons"
  tee "$OMBUP_LANES_DIR/$id.failed" < "$reasons" >&2
  return 1
}

lane_up() {
  local kind=$1 id=$2 dir pid xvfb_pid
  shift 2
  dir=$(lane_dir "$id")
  if [ -z "${OMBUP_SANDBOX_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    display_start "$dir" 1280x1024x24 || { echo "lane $id: no display" >&2; return 1; }
  fi
  echo "$DISPLAY" > "$dir/display"
  cat > "$OMBUP_LANES_DIR/$id.env" <<EOF
export OMBUP_LANE=$id OMBUP_LANE_KIND=$kind
export OMBUP_LANE_NETNS=$dir/netns
export WINEPREFIX=$dir/wineprefix
export DISPLAY=$(cat "$dir/display")
export OMBUP_WORK_DIR=$dir/work OMBUP_WWW_DIR=$dir/www
EOF
  # shellcheck source=/dev/null
  . "$OMBUP_LANES_DIR/$id.env"
  lane_wine_up "$kind" "$id" >>"$state/harness.log" 2>&1 ||
    { echo "lane $id: its wineserver did not come up, see $state/harness.log" >&2; return 1; }
  in_lane "$id" python3 "$source_dir/tests/fixtures/release_host.py" --root "$dir/www" --ready-file "$dir/host.ready" \
    "$@" >"$dir/release-host.log" 2>&1 &
  pid=$!
  lane_wait_for -e "$dir/host.ready" "$pid" ||
    { echo "lane $id: the release host did not start, see $dir/release-host.log" >&2; return 1; }
}

# Starts these lanes at once, each release host with lane_host_args, and
# waits for them all; false when one failed.
lanes_start_all() {
  local pids=() id failed=0
  for id in "$@"; do
    lane_start "${id%%_*}" "$id" "${lane_host_args[@]}" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  return $failed
}

lanes_finish() {
  python3 - "$OMBUP_LANES_DIR/list" "$OMBUP_RESOURCES_FILE" <<'EOF'
import json, sys
resources = {}
for line in open(sys.argv[1]):
    kind, lane, slots = line.split()
    resources.setdefault(kind, []).append({"id": lane, "slots": int(slots)})
with open(sys.argv[2], "w") as out:
    json.dump({"version": {"major": 1, "minor": 0}, "local": [resources]}, out)
EOF
}
