# Sourced by the scripts: what they need to know of a build and of this machine.
#   i386_emulated       true where the kernel runs no i386 program itself and
#                       setup.sh has handed them to QEMU's emulator
#   debian_mirror       the Debian mirror this machine's apt sources name
#   debian13_make ROOT RECIPE BEFORE AFTER PACKAGE...  a Debian 13 root with
#                       the packages, made once per RECIPE; BEFORE and AFTER
#                       run with the unfinished root around their install
i386_emulated() {
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]
}

# The first enabled "deb" source of a base suite (bookworm, not bookworm-security), in the order apt reads them.
# Debian 13's packages are fetched from it with trixie as the suite, so no mirror is named anywhere but in the
# machine's own apt sources.
debian_mirror() {
  local mirror
  mirror=$(apt-get indextargets --format '$(TARGET_OF) $(REPO_URI) $(RELEASE)' 2>/dev/null \
             | awk '!found && $1 == "deb" && $3 !~ /-/ { print $2; found = 1 }')
  [ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources: add the one to use there" >&2; return 1; }
  echo "${mirror%/}"
}

debian13_made() { [ "$(cat "$1/.vantor-made" 2>/dev/null)" = "$2" ]; }

debian13_make() {
  local root=$1 recipe=$2 before=$3 after=$4 work=$1.new mirror
  shift 4
  debian13_made "$root" "$recipe" && return 0
  [ -x /usr/sbin/debootstrap ] || { echo "debootstrap is not installed (apt-get install debootstrap)" >&2; return 1; }
  mirror=$(debian_mirror) || return 1
  echo "making the Debian 13 root $root (debootstrap from $mirror)" >&2
  rm -rf "$work"
  mkdir -p "$(dirname "$root")"
  # No service starts while packages install; names resolve without a network (a minbase root has no /etc/hosts; the 4.0
  # server binds by name, Wine asks for the host's own).
  if ! { /usr/sbin/debootstrap --variant=minbase trixie "$work" "$mirror" \
         && printf '#!/bin/sh\nexit 101\n' > "$work/usr/sbin/policy-rc.d" && chmod 755 "$work/usr/sbin/policy-rc.d" \
         && printf '127.0.0.1\tlocalhost %s\n' "$(hostname)" > "$work/etc/hosts" \
         && $before "$work" && chroot "$work" apt-get update -q \
         && chroot "$work" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" \
         && chroot "$work" apt-get clean && $after "$work"; } > "$work.log" 2>&1; then
    tail -n 20 "$work.log" >&2
    echo "making the Debian 13 root $root with $* failed (log: $work.log)" >&2
    return 1
  fi
  echo "$recipe" > "$work/.vantor-made"
  rm -rf "$root" "$work.log"
  mv "$work" "$root"
}
