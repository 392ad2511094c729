#!/usr/bin/env bash
# Installs everything vantor needs on a Debian 12 machine: the i386 and x86-64
# toolchains, the i386 Firebird 3.0 engine with its tools and headers, ib_util
# for both flavours, GoogleTest and Google Benchmark, clang for the fuzzers,
# Boost.Preprocessor (the UDR interface headers use it);
# matplotlib for the performance report's chart; lintian for the packages;
# debootstrap for the Debian 13 roots of the 4.0 server test and of Wine;
# the mingw-w64 cross compilers, GoogleTest's sources, zip and unzip for the Windows
# flavours, whose tests run under Wine in a Debian 13 root (scripts/lib/wine.sh).
# The Firebird 4.0 engines (Debian 13's, amd64 with its 4.0 headers and i386)
# go into folders of their own, /opt/vantor/firebird4.0 and
# /opt/vantor/firebird4.0-i386, outside dpkg's database and /etc
# (scripts/lib/firebird4.sh).
# Idempotent: does nothing when all of it is already there. Needs root (or
# sudo). Never touches the system's Firebird configuration.
#
#   scripts/setup.sh               everything the tests need (Debian 12)
#   scripts/setup.sh --build-only  what building the x86-64 flavour and its
#                                  unit tests needs, on Debian 12 or 13
# A package that this system's package lists do not have (Debian 13 has no
# Firebird 3.0) is named, with what to do, before anything is installed.
set -euo pipefail
build_only=0
case "${1:-}" in
  "") ;;
  --build-only) build_only=1 ;;
  *) echo "usage: $0 [--build-only]" >&2; exit 2 ;;
esac
. "$(cd "$(dirname "$0")" && pwd)/lib/firebird4.sh"
. "$(cd "$(dirname "$0")" && pwd)/lib/wine.sh"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential g++-multilib cmake binutils diffutils
  firebird3.0-server:i386 firebird3.0-utils:i386 firebird-dev:i386
  libib-util:i386 libgtest-dev:i386 libgtest-dev
  libbenchmark-dev:i386 libbenchmark-dev
  clang libclang-rt-dev faketime tzdata iproute2 procps perl
  debootstrap
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest zip unzip
  lib32asan8 lib32ubsan1 libtsan2
  libboost-dev
  python3-matplotlib
  lintian
)

export DEBIAN_FRONTEND=noninteractive
updated=0
apt_update_once() {
  [ $updated -eq 0 ] || return 0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails one index ("File has unexpected size"):
  # try again, then go on with the lists that did arrive; a package that is
  # then missing fails its install with apt's own message.
  local try
  for try in 1 2 3; do
    $SUDO apt-get update -q >/dev/null 2>"${TMPDIR:-/tmp}/vantor-apt-update.err" && break
    [ $try -lt 3 ] && sleep 15
  done || true
  if [ -s "${TMPDIR:-/tmp}/vantor-apt-update.err" ]; then
    echo "setup: apt-get update reported:" >&2
    grep '^[EW]:' "${TMPDIR:-/tmp}/vantor-apt-update.err" >&2 || true
  fi
  updated=1
}
apt_install() {  # apt_install PACKAGE...
  apt_update_once
  $SUDO apt-get install -y -q --no-install-recommends "$@" >/dev/null
}

# Some kernels are booted with 32-bit execution switched off
# (ia32_emulation=off: "Exec format error" for every i386 program). There the
# i386 flavour's tests and engine run under QEMU's user-mode emulator,
# registered as the kernel's handler for i386 ELF files. Correct, but slow:
# timings of i386 code taken there are the emulator's, not the processor's.
ensure_i386_execution() {
  local probe
  probe=$(mktemp -d)
  printf 'int main(void) { return 0; }\n' >"$probe/p.c"
  if ! gcc -m32 -static "$probe/p.c" -o "$probe/p" 2>/dev/null; then
    rm -rf "$probe"; echo "setup: cannot build an i386 program" >&2; return 1
  fi
  if ! "$probe/p" 2>/dev/null; then
    dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed" \
      || apt_install qemu-user-static
    local misc=/proc/sys/fs/binfmt_misc
    [ -e "$misc/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$misc"
    if [ ! -e "$misc/qemu-i386" ]; then
      # i386 ELF executables and position-independent executables (type 2 or 3).
      printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        | $SUDO tee "$misc/register" >/dev/null
    fi
    echo "setup: i386 programs run under qemu-i386 (32-bit execution is off in this kernel)" >&2
  fi
  "$probe/p"; local status=$?
  rm -rf "$probe"
  return $status
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# unavailable PACKAGE...: prints those of the packages that are neither
# installed nor installable from this system's package lists.
unavailable() {
  local p policy
  for p in "$@"; do
    installed "$p" && continue
    # Read whole: grep -q would end the pipe early, which pipefail reports.
    policy=$(apt-cache policy "$p" 2>/dev/null || true)
    [[ "$policy" == *"Candidate: "[!\(]* ]] || printf '%s\n' "$p"
  done
}
release=$( (. /etc/os-release && echo "${PRETTY_NAME:-$ID}") 2>/dev/null || echo "this system")

# The build of the x86-64 flavour with its unit tests needs only these.
BUILD_PACKAGES=(build-essential cmake firebird-dev libboost-dev libgtest-dev)
if [ $build_only -eq 1 ]; then
  # The unit tests read tzdata's right/ zones, which Debian 13 moved into
  # tzdata-legacy.
  missing=()
  for p in "${BUILD_PACKAGES[@]}"; do installed "$p" || missing+=("$p"); done
  if [ ! -e /usr/share/zoneinfo/right/UTC ]; then
    apt_update_once
    if [ -z "$(unavailable tzdata-legacy)" ]; then missing+=(tzdata-legacy); else missing+=(tzdata); fi
  fi
  [ ${#missing[@]} -eq 0 ] && exit 0
  apt_update_once
  absent=$(unavailable "${missing[@]}")
  if [ -n "$absent" ]; then
    echo "setup: $release's package lists have no" $absent "(needed to build)" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}" >&2
  apt_install "${missing[@]}"
  echo "setup: done (build only: bash scripts/build.sh x86_64)" >&2
  exit 0
fi

# The i386 4.0 tools are run to check them, so i386 programs must run first.
installed g++-multilib || apt_install build-essential g++-multilib
ensure_i386_execution
# A package whose configuration ran an i386 program before the emulator
# was registered is finished now.
if dpkg --audit 2>/dev/null | grep -q .; then $SUDO dpkg --configure -a >/dev/null; fi

fb4_use i386
fb4_install
fb4_use amd64
fb4_install

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The amd64 engine, for running the x86-64 flavour in a real 64-bit server.
# It installs beside the i386 one; its isql-fb is unpacked into a private
# folder, since the amd64 tools package would replace the i386 tools.
PACKAGES_AMD64=(firebird3.0-server-core:amd64 libfbclient2:amd64 libedit2:amd64)
ISQL64_DIR=/opt/vantor/firebird3.0-utils-amd64

ib_util_amd64_missing=0
installed libib-util:amd64 || ib_util_amd64_missing=1
missing_amd64=()
for p in "${PACKAGES_AMD64[@]}"; do installed "$p" || missing_amd64+=("$p"); done

if [ ${#missing[@]} -eq 0 ] && [ $ib_util_amd64_missing -eq 0 ] && [ ${#missing_amd64[@]} -eq 0 ] \
   && [ -x "$ISQL64_DIR/usr/bin/isql-fb" ]; then
  wine_make
  exit 0
fi

absent=$(unavailable "${missing[@]}" "${missing_amd64[@]}")
if [ -n "$absent" ]; then
  echo "setup: $release's package lists have no" $absent >&2
  echo "setup: the tests need Debian 12 (bookworm), whose Firebird 3.0 engines they run; to build here, \`scripts/setup.sh --build-only\` installs what the build needs (${BUILD_PACKAGES[*]})" >&2
  exit 1
fi
# Present but not installable (Debian 13's Firebird 3.0 server needs a
# firebird-utils that Debian 13 does not have): apt's reasons, the same advice.
if ! $SUDO apt-get install -s -q --no-install-recommends "${missing[@]}" "${missing_amd64[@]}" \
       > "${TMPDIR:-/tmp}/vantor-apt-install.out" 2>&1; then
  echo "setup: $release cannot install what the tests need:" >&2
  grep -E '^ [^ ].* : |^ +(Depends|Conflicts|Breaks)' "${TMPDIR:-/tmp}/vantor-apt-install.out" >&2 \
    || tail -n 5 "${TMPDIR:-/tmp}/vantor-apt-install.out" >&2
  echo "setup: the tests need Debian 12 (bookworm), whose Firebird 3.0 engines they run; to build here, \`scripts/setup.sh --build-only\` installs what the build needs (${BUILD_PACKAGES[*]})" >&2
  exit 1
fi
echo "setup: installing ${missing[*]:-} ${missing_amd64[*]:-} $( [ $ib_util_amd64_missing -eq 1 ] && echo libib-util:amd64)" >&2
apt_update_once
if [ ${#missing[@]} -gt 0 ]; then
  apt_install "${missing[@]}"
fi
if [ $ib_util_amd64_missing -eq 1 ]; then
  # The amd64 ib_util (for the x86-64 flavour) ships a lintian override file
  # that clashes with the i386 package's, so it goes in with --force-overwrite.
  tmp=$(mktemp -d)
  chmod 755 "$tmp"
  (cd "$tmp" && $SUDO apt-get download -q libib-util:amd64 >/dev/null 2>&1)
  $SUDO dpkg -i --force-overwrite "$tmp"/libib-util_*_amd64.deb >/dev/null
  rm -rf "$tmp"
fi
if [ ${#missing_amd64[@]} -gt 0 ]; then
  apt_install "${missing_amd64[@]}"
fi
if [ ! -x "$ISQL64_DIR/usr/bin/isql-fb" ]; then
  tmp=$(mktemp -d)
  chmod 755 "$tmp"
  (cd "$tmp" && $SUDO apt-get download -q firebird3.0-utils:amd64 >/dev/null 2>&1)
  $SUDO mkdir -p "$ISQL64_DIR"
  $SUDO dpkg -x "$tmp"/firebird3.0-utils_*_amd64.deb "$ISQL64_DIR"
  rm -rf "$tmp"
fi
wine_make
echo "setup: done" >&2
