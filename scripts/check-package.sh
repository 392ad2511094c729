#!/usr/bin/env bash
# Builds the Debian packages of a flavour's build (scripts/package.sh) and
# checks them: the module package carries only files of its own
# architecture's folders plus its copyright and changelog (so the i386 and
# amd64 packages can be installed side by side, Multi-Arch: same), the common
# package carries the scripts as they are in sql/, lintian reports no error
# and no warning, and the modules have the right shape and exports.
#   scripts/check-package.sh i386|x86_64
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-}
case "$flavour" in
  i386) arch=i386 triplet=i386-linux-gnu shape=() ;;
  x86_64) arch=amd64 triplet=x86_64-linux-gnu shape=(--x86_64) ;;
  *) echo "usage: $0 i386|x86_64" >&2; exit 2 ;;
esac
fail() { echo "check-package: $*" >&2; exit 1; }
builddir="$root/build/$flavour"
bash "$root/scripts/package.sh" "$flavour" >/dev/null
deb=$(ls "$builddir"/package/firebird3.0-vantor_*_"$arch".deb)
common=$(ls "$builddir"/package/firebird3.0-vantor-common_*_all.deb)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$deb" Architecture)" = "$arch" ] || fail "$deb: architecture is not $arch"
[ "$(field "$deb" Multi-Arch)" = same ] || fail "$deb: not Multi-Arch: same"
[ "$(field "$common" Architecture)" = all ] || fail "$common: not Architecture: all"
field "$deb" Depends | grep -q "firebird3.0-vantor-common (= $(field "$common" Version))" \
  || fail "$deb does not depend on the common package of its version"

# Every file of the module package: the two modules in this architecture's
# folders, and the copyright and changelog, which are the same in every
# architecture's package.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' | sort > "$scratch/files"
printf '%s\n' "/usr/lib/$triplet/firebird/3.0/UDF/libvantor.so" \
  "/usr/lib/$triplet/firebird/3.0/plugins/udr/libvantor_udr.so" \
  /usr/share/doc/firebird3.0-vantor/changelog.gz /usr/share/doc/firebird3.0-vantor/copyright \
  | sort > "$scratch/expected"
diff -u "$scratch/expected" "$scratch/files" || fail "$deb carries other files than these"
dpkg -x "$deb" "$scratch/lib"
cmp -s "$scratch/lib/usr/share/doc/firebird3.0-vantor/copyright" "$root/packaging/copyright" \
  || fail "copyright differs from packaging/copyright"
gzip -dc "$scratch/lib/usr/share/doc/firebird3.0-vantor/changelog.gz" | cmp -s - "$root/packaging/changelog" \
  || fail "changelog.gz differs from packaging/changelog"
# The other architecture's package, when built, must agree on every file
# they share, or dpkg refuses to install the two side by side.
for other in "$root"/build/*/package/firebird3.0-vantor_*.deb; do
  [ "$other" = "$deb" ] && continue
  rm -rf "$scratch/other"
  dpkg -x "$other" "$scratch/other"
  for f in copyright changelog.gz; do
    cmp -s "$scratch/lib/usr/share/doc/firebird3.0-vantor/$f" "$scratch/other/usr/share/doc/firebird3.0-vantor/$f" \
      || fail "$f differs between $(basename "$deb") and $(basename "$other")"
  done
done

dpkg -x "$common" "$scratch/common"
for f in vantor.sql vantor-drop.sql vantor-udr.sql vantor-udr-drop.sql; do
  cmp -s "$scratch/common/usr/share/vantor/$f" "$root/sql/$f" || fail "$common: /usr/share/vantor/$f differs from sql/$f"
done
if dpkg-deb -c "$common" | awk '{print $6}' | grep -q '^\./usr/lib/'; then fail "$common carries architecture files"; fi

command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
lintian --tag-display-limit 0 "$deb" "$common" > "$scratch/lintian" 2>&1 || true
if grep -E '^[EW]: ' "$scratch/lintian"; then fail "lintian reports the errors or warnings above"; fi

bash "$root/scripts/check-library.sh" "${shape[@]}" "$scratch/lib/usr/lib/$triplet/firebird/3.0/UDF/libvantor.so"
bash "$root/scripts/check-udr-library.sh" "${shape[@]}" "$scratch/lib/usr/lib/$triplet/firebird/3.0/plugins/udr/libvantor_udr.so"
echo "check-package: $(basename "$deb") (Multi-Arch: same) installs the two modules into /usr/lib/$triplet/firebird/3.0 only; $(basename "$common") the scripts into /usr/share/vantor; lintian: no errors, no warnings"
