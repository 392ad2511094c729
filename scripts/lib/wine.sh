# Sourced by the Windows tests: Wine (Debian 13's, 32- and 64-bit) in a
# Debian 13 root of its own that debootstrap makes once per machine and that
# is kept (WINE_ROOT, keyed by a stamp of what it was made of). Windows
# programs run in it with chroot, from a copy of what they need under the
# root's /tmp; nothing of this machine's /etc is changed. The Wine prefix
# (WINE_PREFIX in the root) is made with the root.
#
#   wine_make                  makes the root, once (needs root, debootstrap
#                              and the Debian mirror this machine uses)
#   wine_run DIR PROGRAM ARG...  runs DIR/PROGRAM.exe under Wine with the
#                              DLLs of DIR beside it; the exit status is the
#                              program's. VANTOR_* variables are passed on.
#   wine_unit_tests BUILD i686|x86_64  the unit tests of a Windows build
#
# Wine's 64-bit loader runs both kinds of program: a 32-bit one goes on to
# the 32-bit loader, an i386 Linux program, which runs under QEMU where the
# kernel runs no i386 program itself (about a minute to start there).
. "$(dirname "${BASH_SOURCE[0]}")/trixie.sh"
. "$(dirname "${BASH_SOURCE[0]}")/platform.sh"
WINE_ROOT=${VANTOR_WINE_ROOT:-/opt/vantor/trixie-wine}
WINE_PACKAGES=(wine wine32:i386 wine64)
WINE_PREFIX=/root/.wine-vantor
WINE_RECIPE="minbase trixie +i386 ${WINE_PACKAGES[*]} prefix=$WINE_PREFIX"
WINE_STAMP="$WINE_ROOT/.vantor-made"

wine_made() { [ -f "$WINE_STAMP" ] && [ "$(cat "$WINE_STAMP")" = "$WINE_RECIPE" ]; }

wine_make() {
  wine_made && return 0
  [ -x /usr/sbin/debootstrap ] || { echo "debootstrap is not installed (apt-get install debootstrap)" >&2; return 1; }
  local work="$WINE_ROOT.new" mirror
  mirror=$(debian_mirror) || return 1
  echo "making the Debian 13 root $WINE_ROOT for Wine (debootstrap from $mirror)" >&2
  rm -rf "$work"
  mkdir -p "$(dirname "$WINE_ROOT")"
  if ! /usr/sbin/debootstrap --variant=minbase trixie "$work" "$mirror" > "$work.log" 2>&1; then
    tail -n 20 "$work.log" >&2; echo "debootstrap of Debian 13 failed" >&2; return 1
  fi
  printf '#!/bin/sh\nexit 101\n' > "$work/usr/sbin/policy-rc.d"
  chmod 755 "$work/usr/sbin/policy-rc.d"
  if ! { chroot "$work" dpkg --add-architecture i386 && chroot "$work" apt-get update -q \
         && chroot "$work" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
              "${WINE_PACKAGES[@]}"; } >> "$work.log" 2>&1; then
    tail -n 20 "$work.log" >&2; echo "installing Wine in Debian 13 failed" >&2; return 1
  fi
  chroot "$work" apt-get clean
  # Names resolve without a network (Wine asks for the host's own).
  printf '127.0.0.1\tlocalhost %s\n' "$(hostname)" > "$work/etc/hosts"
  echo "making the Wine prefix (a few minutes)" >&2
  if ! wine_in "$work" wineboot --init >> "$work.log" 2>&1; then
    tail -n 20 "$work.log" >&2; echo "making the Wine prefix failed" >&2; return 1
  fi
  echo "$WINE_RECIPE" > "$work/.vantor-made"
  rm -rf "$WINE_ROOT" "$work.log"
  mv "$work" "$WINE_ROOT"
}

# wine_in ROOT PROGRAM ARG...: a Wine program (wineboot, or Wine's 64-bit
# loader /usr/lib/wine/wine64 and a Windows program's path) run in ROOT, in
# a mount namespace of its own with the root's /proc mounted (Wine reads it):
# nothing is left mounted when it ends.
wine_in() {
  local root=$1; shift
  local variables=() variable
  for variable in $(compgen -e); do
    [[ "$variable" == VANTOR_* ]] && variables+=("$variable=${!variable}")
  done
  unshare --mount --propagation private sh -c 'mount -t proc proc "$0/proc" && exec chroot "$0" "$@"' "$root" \
    env -i PATH=/usr/bin:/bin HOME=/root WINEPREFIX="$WINE_PREFIX" XDG_RUNTIME_DIR=/tmp \
    WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "${variables[@]}" "$@"
}

wine_run() {
  local dir=$1 program=$2 stage status
  shift 2
  wine_made || { echo "no Wine root at $WINE_ROOT (scripts/setup.sh makes it)" >&2; return 1; }
  stage=$(mktemp -d "$WINE_ROOT/tmp/vantor.XXXXXX")
  cp "$dir/$program.exe" "$stage/"
  cp "$dir"/*.dll "$stage/" 2>/dev/null || true
  wine_in "$WINE_ROOT" /usr/lib/wine/wine64 "/tmp/${stage##*/}/$program.exe" "$@"
  status=$?
  rm -rf "$stage"
  return $status
}

# Where i386 programs run under QEMU, a 32-bit Windows program faults as soon
# as it starts a thread (QEMU's user-mode emulation of Wine's 32-bit
# threads): there the i686 run leaves out the tests that start threads (the
# concurrency tests and the threaded sweep of the times of day), which run on
# x86_64 and on Linux.
wine_unit_tests() {
  local build=$1 architecture=$2 filter=()
  if [ "$architecture" = i686 ] && i386_emulated; then
    echo "wine: i386 is emulated here: the i686 unit tests run without the threaded ones" >&2
    filter=(--gtest_filter=-DayNumberSweep.EveryTimeOfDayRoundTrips:Concurrency.*)
  fi
  wine_run "$build" vantor_unit_tests "${filter[@]}"
}
