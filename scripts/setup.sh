#!/usr/bin/env bash
# Installs everything vantor needs on a Debian 12 machine: the i386 and x86-64
# toolchains, the i386 Firebird 3.0 engine with its tools and headers, ib_util
# for both flavours, GoogleTest and Google Benchmark, clang for the fuzzers.
# Idempotent: does nothing when all of it is already there. Needs root (or
# sudo). Never touches the system's Firebird configuration.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential g++-multilib cmake binutils diffutils
  firebird3.0-server:i386 firebird3.0-utils:i386 firebird-dev:i386
  libib-util:i386 libgtest-dev:i386 libgtest-dev
  libbenchmark-dev:i386 libbenchmark-dev
  clang libclang-rt-14-dev faketime tzdata
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
ib_util_amd64_missing=0
dpkg-query -W -f='${Status}' libib-util:amd64 2>/dev/null | grep -q "install ok installed" || ib_util_amd64_missing=1

if [ ${#missing[@]} -eq 0 ] && [ $ib_util_amd64_missing -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]:-} $( [ $ib_util_amd64_missing -eq 1 ] && echo libib-util:amd64)" >&2
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q >/dev/null
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
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
echo "setup: done" >&2
