# Sourced by scripts/test and .ci/run: runs the named steps of a run, keeps
# each one's output in a log of its own and its time, and names the step that
# failed and where its log is.
#
#   steps_begin WHO LOG_DIR       before the first step
#   step [--quiet] NAME COMMAND [ARGS...]
#       runs COMMAND, its output shown and kept in LOG_DIR/NAME.log (with
#       --quiet only kept, and shown if it fails); a failing step ends the
#       script with its exit status, after saying which step it was (and
#       leaves its name in steps_failed)
#   step_beside NAME COMMAND... / step_join NAME
#                                  the same, beside the steps in between
#   steps_times                    "setup 1 s (0.3 cores), build 30 s (1.9 cores), ..." so
#                                  far: the cores are the machine's, whatever kept them busy
#   steps_wall_time                the time since steps_begin, as "8 min 22 s"
#   steps_ctest_summary LOG        CTest's summary at the end of LOG, if it has one
#   steps_ctest_selection ARGS...  the test command's arguments as CTest's, one a line

steps_begin() {
  steps_who=$1 steps_log_dir=$2
  steps_start=$SECONDS
  steps_done=()
  steps_failed=
  steps_load_start=$(cut -d' ' -f1 /proc/loadavg)
  mkdir -p "$steps_log_dir"
}

steps_duration() { if [ "$1" -ge 60 ]; then echo "$(($1 / 60)) min $(($1 % 60)) s"; else echo "$1 s"; fi; }
steps_wall_time() { steps_duration $((SECONDS - steps_start)); }
steps_times() { local out="" item; for item in "${steps_done[@]}"; do out+="${out:+, }$item"; done; echo "$out"; }
steps_load() { echo "load average $steps_load_start at the start, $(cut -d' ' -f1 /proc/loadavg) at the end"; }
# The machine's busy time so far, in clock ticks (all processes, all cores).
steps_busy_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 }' /proc/stat; }
# "1.4 cores": how many cores were busy on average since the mark, over SECONDS.
steps_cores() {
  awk -v ticks=$(( $(steps_busy_ticks) - $1 )) -v hz="$(getconf CLK_TCK)" -v s="$2" \
    'BEGIN { printf "%.1f cores", (s > 0 ? ticks / hz / s : 0) }'
}

step() {
  local quiet=no
  if [ "$1" = --quiet ]; then quiet=yes; shift; fi
  local name=$1
  shift
  local log=$steps_log_dir/$name.log begin=$SECONDS status=0 busy
  busy=$(steps_busy_ticks)
  if [ "$quiet" = yes ]; then
    "$@" >"$log" 2>&1 || status=$?
  else
    # pipefail gives the command's own status.
    "$@" 2>&1 | tee "$log" || status=$?
  fi
  steps_done+=("$name $(steps_duration $((SECONDS - begin))) ($(steps_cores "$busy" $((SECONDS - begin))))")
  if [ "$status" != 0 ]; then
    [ "$quiet" = no ] || cat "$log"
    echo "$steps_who: the step \"$name\" ($*) failed with exit status $status after" \
         "$(steps_duration $((SECONDS - begin))); its output is above and in $log" >&2
    steps_failed=$name
    exit "$status"
  fi
}

# A step that runs beside the next ones: step_beside NAME COMMAND [ARGS...]
# starts it, its output kept in LOG_DIR/NAME.log; step_join NAME waits for
# it, shows that output and fails as step does. Its time is its own.
declare -A steps_beside_pid steps_beside_begin
step_beside() {
  local name=$1
  shift
  # The subshell keeps the count of SECONDS, and notes when its command ended.
  ( status=0; "$@" || status=$?; echo "$SECONDS" > "$steps_log_dir/$name.end"; exit "$status" ) \
    >"$steps_log_dir/$name.log" 2>&1 &
  steps_beside_pid[$name]=$!
  steps_beside_begin[$name]=$SECONDS
}
step_join() {
  local name=$1 status=0 log
  log=$steps_log_dir/$name.log
  wait "${steps_beside_pid[$name]}" || status=$?
  cat "$log"
  local end
  end=$(cat "$steps_log_dir/$name.end" 2>/dev/null || echo "$SECONDS")
  steps_done+=("$name $(steps_duration $((end - steps_beside_begin[$name]))) beside the builds")
  if [ "$status" != 0 ]; then
    echo "$steps_who: the step \"$name\" failed with exit status $status; its output is above and in $log" >&2
    steps_failed=$name
    exit "$status"
  fi
}

# From the last "NN% tests passed" line of a CTest run's output to its end:
# the runs end with it, after their records.
steps_ctest_summary() {
  [ -f "$1" ] || return 0
  local from
  from=$(grep -n -E '^[0-9]+% tests passed' "$1" | tail -n1 | cut -d: -f1)
  [ -n "$from" ] || return 0
  echo
  tail -n +"$from" "$1"
}

# scripts/test's arguments as CTest's, one a line: --full keeps the tests
# labelled full (wow64-full too), which are left out without it; --fast
# leaves out those labelled slow. Given several -LE, CTest leaves out only
# the tests that match them all (-LE slow -LE full leaves out none), so every
# exclusion, the user's own -LE included, is one regular expression. A
# selection that runs no test fails.
steps_ctest_selection() {
  local full=no exclude=() pattern=
  while [ $# -gt 0 ]; do
    case "$1" in
      --full) full=yes ;;
      --fast) exclude+=(slow) ;;
      -LE | --label-exclude)
        [ $# -ge 2 ] || { echo "scripts/test: $1 needs a regular expression" >&2; return 2; }
        exclude+=("$2")
        shift
        ;;
      *) printf '%s\n' "$1" ;;
    esac
    shift
  done
  [ "$full" = yes ] || exclude+=(full)
  for item in "${exclude[@]}"; do pattern+="${pattern:+|}($item)"; done
  [ -z "$pattern" ] || printf '%s\n' -LE "$pattern"
  printf '%s\n' --no-tests=error
}
