# Sourced by scripts/test and scripts/setup-i386: what the test command needs
# of the machine, said before anything is installed or built.
#
#   machine_needs I386   stops (exit 2) with what is missing: root; network,
#                        mount and PID namespaces and overlayfs (so not an
#                        unprivileged container); with I386=yes also
#                        binfmt_misc (scripts/setup-i386 --emulator, run
#                        before the builds, then needs the mirror below and
#                        its bookworm-backports)
#   machine_mirror       the Debian mirror for bookworm among the apt
#                        sources (deb822 or one-line), or nothing

machine_mirror() {
  local uri
  uri=$(awk '
    /^URIs:/ { uris = $2 }
    /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm") { print uris; exit } }
    /^$/ { uris = "" }' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)
  if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
    uri=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i ~ /:\/\//) {
             if ($(i + 1) == "bookworm") { print $i; exit } } }' /etc/apt/sources.list)
  fi
  printf '%s\n' "$uri"
}

machine_needs() {
  local i386=$1 missing=() scratch
  [ "$(id -u)" = 0 ] || missing+=("root (the tests run in network, mount and PID namespaces of their own)")
  if [ ${#missing[@]} -eq 0 ]; then
    unshare --net --mount --pid --fork true 2>/dev/null ||
      missing+=("network, mount and PID namespaces (unshare --net --mount --pid failed: an unprivileged container?)")
    scratch=$(mktemp -d)
    mkdir -p "$scratch/lower" "$scratch/upper" "$scratch/work" "$scratch/merged"
    unshare --mount sh -c 'mount -t overlay overlay -o "lowerdir=$1/lower,upperdir=$1/upper,workdir=$1/work" "$1/merged"' \
      sh "$scratch" 2>/dev/null || missing+=("overlayfs (each lane's Wine prefix is an overlay)")
    rm -rf "$scratch"
  fi
  if [ "$i386" = yes ]; then
    [ -e /proc/sys/fs/binfmt_misc/register ] || grep -qw binfmt_misc /proc/filesystems ||
      missing+=("binfmt_misc in the kernel (the i386 programs are sent to qemu-user through it)")
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  printf 'this machine cannot run the tests; it lacks:\n' >&2
  printf '  - %s\n' "${missing[@]}" >&2
  printf 'see docs/testing.md, "What the test command needs"\n' >&2
  exit 2
}
