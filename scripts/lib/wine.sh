# Sourced by the Windows tests: Wine (Debian 13's, 32- and 64-bit) in a
# Debian 13 root of its own that debootstrap makes once per machine and that
# is kept (WINE_ROOT, keyed by a stamp of what it was made of). Windows
# programs run in it with chroot, from a copy of what they need under the
# root's /tmp; nothing of this machine's /etc is changed.
#
#   wine_make                  makes the root, once (needs root, debootstrap
#                              and the Debian mirror this machine uses)
#   wine_run DIR PROGRAM ARG...  runs PROGRAM.exe, found in DIR, under Wine,
#                              with DIR's files beside it; the exit status is
#                              the program's
. "$(dirname "${BASH_SOURCE[0]}")/trixie.sh"
WINE_ROOT=${VANTOR_WINE_ROOT:-/opt/vantor/trixie-wine}
WINE_PACKAGES=(wine wine32:i386 wine64)
WINE_RECIPE="minbase trixie +i386 ${WINE_PACKAGES[*]}"
WINE_STAMP="$WINE_ROOT/.vantor-made"

wine_made() { [ -f "$WINE_STAMP" ] && [ "$(cat "$WINE_STAMP")" = "$WINE_RECIPE" ]; }

wine_make() {
  wine_made && return 0
  [ -x /usr/sbin/debootstrap ] || { echo "debootstrap is not installed (apt-get install debootstrap)" >&2; return 1; }
  local work="$WINE_ROOT.new" mirror
  mirror=$(trixie_mirror)
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
  echo "$WINE_RECIPE" > "$work/.vantor-made"
  rm -rf "$WINE_ROOT" "$work.log"
  mv "$work" "$WINE_ROOT"
}
