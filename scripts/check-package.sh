#!/usr/bin/env bash
# Builds the Debian package of a flavour's build and checks what it installs:
# unpacks it into a scratch root and checks the files, the library's shape
# and its exports.
#   scripts/check-package.sh i386|x86_64
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=$1
builddir="$root/build/$flavour"
case "$flavour" in
  i386) arch=i386 triplet=i386-linux-gnu shape=() ;;
  x86_64) arch=amd64 triplet=x86_64-linux-gnu shape=(--x86_64) ;;
  *) echo "usage: $0 i386|x86_64" >&2; exit 2 ;;
esac
rm -rf "$builddir/package"
(cd "$builddir" && cpack -G DEB >/dev/null)
deb=$(ls "$builddir"/package/vantor_*_"$arch".deb)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch"
udf="$scratch/usr/lib/$triplet/firebird/3.0/UDF"
for f in libvantor.so vantor.sql vantor-drop.sql; do
  [ -f "$udf/$f" ] || { echo "check-package: $deb lacks $udf/$f" >&2; exit 1; }
done
cmp "$udf/vantor.sql" "$root/sql/vantor.sql"
udr="$scratch/usr/lib/$triplet/firebird/3.0/plugins/udr"
for f in libvantor_udr.so vantor-udr.sql vantor-udr-drop.sql; do
  [ -f "$udr/$f" ] || { echo "check-package: $deb lacks $udr/$f" >&2; exit 1; }
done
cmp "$udr/vantor-udr.sql" "$root/sql/vantor-udr.sql"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || { echo "check-package: wrong architecture" >&2; exit 1; }
bash "$root/scripts/check-library.sh" "${shape[@]}" "$udf/libvantor.so"
bash "$root/scripts/check-udr-library.sh" "${shape[@]}" "$udr/libvantor_udr.so"
echo "check-package: $(basename "$deb") installs libvantor.so, vantor.sql and vantor-drop.sql into /usr/lib/$triplet/firebird/3.0/UDF, and libvantor_udr.so with its scripts into plugins/udr"
