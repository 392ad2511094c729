# Sourced by the Windows tests: Wine (Debian 13's, 32- and 64-bit) in a Debian 13 root of its own (WINE_ROOT) with its
# Wine prefix, made once.
#   wine_make                    makes the root, once (needs root)
#   wine_run DIR PROGRAM ARG...  runs DIR/PROGRAM.exe under Wine with DIR's
#                                DLLs beside it, from a copy in the root's /tmp;
#                                its exit status; VANTOR_* variables passed on
#   wine_unit_tests BUILD i686|x86_64  the unit tests of a Windows build
# Wine's 64-bit loader runs both kinds of program: a 32-bit one goes on to the 32-bit loader, an i386 Linux program,
# which runs under QEMU where the kernel runs no i386 program itself (about a minute to start there).
. "$(dirname "${BASH_SOURCE[0]}")/platform.sh"
WINE_ROOT=${VANTOR_WINE_ROOT:-/opt/vantor/trixie-wine}
WINE_PACKAGES=(wine wine32:i386 wine64)
WINE_PREFIX=/root/.wine-vantor
WINE_RECIPE="minbase trixie +i386 ${WINE_PACKAGES[*]} prefix=$WINE_PREFIX"

wine_made() { debian13_made "$WINE_ROOT" "$WINE_RECIPE"; }
wine_before() { chroot "$1" dpkg --add-architecture i386; }
wine_after() { wine_in "$1" wineboot --init; }
wine_make() {
  wine_made || echo "Wine: making its root and prefix takes a few minutes" >&2
  debian13_make "$WINE_ROOT" "$WINE_RECIPE" wine_before wine_after "${WINE_PACKAGES[@]}"
}

# wine_in ROOT PROGRAM ARG...: a Wine program run in ROOT, in a mount namespace of its own with the root's /proc mounted
# (Wine reads it): nothing is left mounted when it ends.
wine_in() {
  local root=$1 variables=() variable
  shift
  for variable in $(compgen -e VANTOR_); do variables+=("$variable=${!variable}"); done
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

# Under QEMU a 32-bit Windows program faults as soon as it starts a thread (its user-mode emulation of Wine's 32-bit
# threads): there the i686 run leaves out the tests that start threads, which run on x86_64 and on Linux.
wine_unit_tests() {
  local build=$1 architecture=$2 filter=()
  if [ "$architecture" = i686 ] && i386_emulated; then
    echo "wine: i386 is emulated here: the i686 unit tests run without the threaded ones" >&2
    filter=(--gtest_filter=-DayNumberSweep.EveryTimeOfDayRoundTrips:Concurrency.*)
  fi
  wine_run "$build" vantor_unit_tests "${filter[@]}"
}
