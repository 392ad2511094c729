#!/usr/bin/env bash
# Installs everything vantor's tests need on a Debian 12 machine: toolchains,
# the Firebird 3.0 engines (i386, amd64), the 4.0 engines (lib/firebird4.sh),
# the Debian 13 roots of the 4.0 server (lib/trixie.sh) and of Wine
# (lib/wine.sh), and the tools of the tests, fuzzers, benchmarks, Windows
# cross builds and packages. Idempotent; needs root (or sudo); never touches
# the system's Firebird configuration.
#   scripts/setup.sh               everything the tests need (Debian 12)
#   scripts/setup.sh --build-only  what building the x86-64 flavour and its
#                                  unit tests needs, on Debian 12 or 13
set -euo pipefail
case "${1:-}" in
  "") build_only=0 ;;
  --build-only) build_only=1 ;;
  *) echo "usage: $0 [--build-only]" >&2; exit 2 ;;
esac
[ "$(id -u)" -eq 0 ] || exec sudo bash "$0" "$@"
. "$(dirname "$0")/lib/firebird4.sh"
. "$(dirname "$0")/lib/trixie.sh"
. "$(dirname "$0")/lib/wine.sh"

# Boost.Preprocessor: the UDR interface headers use it.
PACKAGES=(
  build-essential g++-multilib cmake binutils diffutils
  firebird3.0-server:i386 firebird3.0-utils:i386 firebird-dev:i386
  libib-util:i386 libgtest-dev:i386 libgtest-dev libbenchmark-dev:i386 libbenchmark-dev
  clang libclang-rt-dev faketime tzdata iproute2 procps perl debootstrap
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest zip unzip
  lib32asan8 lib32ubsan1 libtsan2 libboost-dev python3-matplotlib lintian
)
# The amd64 engine, for running the x86-64 flavour in a real 64-bit server,
# installs beside the i386 one; its isql-fb is unpacked into a folder of its
# own, since the amd64 tools package would replace the i386 tools.
PACKAGES_AMD64=(firebird3.0-server-core:amd64 libfbclient2:amd64 libedit2:amd64)
ISQL64_DIR=${VANTOR_ISQL64_DIR:-/opt/vantor/firebird3.0-utils-amd64}
BUILD_PACKAGES=(build-essential cmake firebird-dev libboost-dev libgtest-dev)
wanted="the tests need"
advice="setup: the tests need Debian 12 (bookworm), whose Firebird 3.0 engines they run; to build here,\
 \`scripts/setup.sh --build-only\` installs what the build needs (${BUILD_PACKAGES[*]})"
[ $build_only -eq 0 ] || { wanted="the build needs"; advice=""; }
release=$( (. /etc/os-release && echo "${PRETTY_NAME:-$ID}") 2>/dev/null || echo "this system")

export DEBIAN_FRONTEND=noninteractive
updated=0
apt_update_once() {
  [ $updated -eq 0 ] || return 0
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # A mirror caught mid-sync fails one index ("File has unexpected size"):
  # try again, then go on with the lists that did arrive; a package that is
  # then missing is named by apt.
  local try err=${TMPDIR:-/tmp}/vantor-apt-update.err
  for try in 1 2 3; do
    apt-get update -q >/dev/null 2>"$err" && break
    [ $try -lt 3 ] && sleep 15
  done || true
  [ ! -s "$err" ] || { echo "setup: apt-get update reported:"; grep '^[EW]:' "$err" || true; } >&2
  updated=1
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# need PACKAGE...: installs those not installed yet. If this
# system cannot install them (Debian 13 has no Firebird 3.0 to install), apt's
# reasons and what to do, before any is installed.
need() {
  local missing=() p out=${TMPDIR:-/tmp}/vantor-apt-install.out
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  apt_update_once
  if ! apt-get install -s -q --no-install-recommends "${missing[@]}" > "$out" 2>&1; then
    echo "setup: $release cannot install what $wanted:" >&2
    grep -E '^E: |^ [^ ].* : |^ +(Depends|Conflicts|Breaks)' "$out" >&2 || tail -n 5 "$out" >&2
    [ -z "$advice" ] || echo "$advice" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}" >&2
  apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

if [ $build_only -eq 1 ]; then
  # The unit tests read tzdata's right/ zones, which Debian 13 moved into
  # tzdata-legacy.
  zones=()
  if [ ! -e /usr/share/zoneinfo/right/UTC ]; then
    apt_update_once
    if apt-cache show tzdata-legacy >/dev/null 2>&1; then zones=(tzdata-legacy); else zones=(tzdata); fi
  fi
  need "${BUILD_PACKAGES[@]}" "${zones[@]}"
  echo "setup: done (build only: bash scripts/build.sh x86_64)" >&2
  exit 0
fi

# Where the kernel runs no i386 program (ia32_emulation=off), QEMU's user-mode
# emulator is made its handler for i386 ELF files: correct, but timings of i386
# code there are the emulator's. This comes first: the i386 4.0 tools are run.
need build-essential g++-multilib
probe=$(mktemp)
echo 'int main(void) { return 0; }' | gcc -m32 -static -x c - -o "$probe" \
  || { echo "setup: cannot build an i386 program" >&2; exit 1; }
if ! "$probe" 2>/dev/null; then
  need qemu-user-static
  misc=/proc/sys/fs/binfmt_misc
  [ -e "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc"
  # i386 ELF executables and position-independent executables (type 2 or 3).
  [ -e "$misc/qemu-i386" ] || printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    > "$misc/register"
  echo "setup: i386 programs run under qemu-i386 (32-bit execution is off in this kernel)" >&2
fi
"$probe"
rm -f "$probe"
# A package whose configuration ran an i386 program before the emulator
# was registered is finished now.
if dpkg --audit 2>/dev/null | grep -q .; then dpkg --configure -a >/dev/null; fi
fb4_use i386
fb4_install
fb4_use amd64
fb4_install

need "${PACKAGES[@]}"
# The amd64 ib_util ships a lintian override file that clashes with the i386
# package's, so it goes in first, with dpkg's --force-overwrite.
if ! installed libib-util:amd64; then
  apt_update_once
  debs=$(mktemp -d) && chmod 755 "$debs"
  (cd "$debs" && apt-get download -q libib-util:amd64 >/dev/null 2>&1)
  dpkg -i --force-overwrite "$debs"/libib-util_*_amd64.deb >/dev/null
  rm -rf "$debs"
fi
need "${PACKAGES_AMD64[@]}"
if [ ! -x "$ISQL64_DIR/usr/bin/isql-fb" ]; then
  apt_update_once
  unpack_packages "$ISQL64_DIR" -q -- firebird3.0-utils:amd64
fi
# One run at a time uses the 4.0 server's root (scripts/servertest.sh).
mkdir -p "$(dirname "$TRIXIE_DIR")"
(flock 9 && trixie_make) 9> "$TRIXIE_DIR.lock"
wine_make
echo "setup: done" >&2
