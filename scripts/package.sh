#!/usr/bin/env bash
# Builds a flavour's packages into build/FLAVOUR/package/ from the CMake install components and packaging/:
# firebird3.0-vantor and firebird4.0-vantor (the modules in the folders of that Debian Firebird server of
# this architecture; Multi-Arch: same, sharing no path, so all four install side by side) and vantor-common
# (the SQL scripts, vantor-install, the documentation); for a Windows flavour, the kit
# vantor-VERSION-FLAVOUR.zip (the stripped DLLs, the SQL scripts in sql\ and packaging/windows/README.txt).
#   scripts/package.sh i386|x86_64|win32|win64
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-}
case "$flavour" in
  i386) arch=i386 triplet=i386-linux-gnu modules="libvantor.so libvantor_udr.so" ;;
  x86_64) arch=amd64 triplet=x86_64-linux-gnu modules="libvantor.so libvantor_udr.so" ;;
  win32) bits=32 triplet=i686-w64-mingw32 modules="vantor.dll vantor_udr.dll" ;;
  win64) bits=64 triplet=x86_64-w64-mingw32 modules="vantor.dll vantor_udr.dll" ;;
  *) echo "usage: $0 i386|x86_64|win32|win64" >&2; exit 2 ;;
esac
version=$(sed -n 's/^project(vantor VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
builddir=$root/build/$flavour out=$root/build/$flavour/package
for module in $modules; do
  [ -f "$builddir/$module" ] || { echo "package: build $flavour first (scripts/build.sh $flavour)" >&2; exit 2; }
done
rm -rf "$out"
if [ -n "${bits:-}" ]; then
  kit=vantor-$version-$flavour
  mkdir -p "$out/$kit/sql"
  for dll in $modules; do "$triplet-strip" -o "$out/$kit/$dll" "$builddir/$dll"; done
  cp "$root"/sql/vantor{,-udr}{,-drop}.sql "$out/$kit/sql/"
  sed -e "s/@VERSION@/$version/g" -e "s/@BITS@/$bits/g" -e "s/@KIT@/$flavour/g" -e 's/$/\r/' \
    "$root/packaging/windows/README.txt" > "$out/$kit/README.txt"
  find "$out/$kit" -exec touch -d "@$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)" {} +
  (cd "$out" && zip -qrX "$kit.zip" "$kit")
  rm -rf "${out:?}/$kit"
  ls "$out/$kit.zip"
  exit 0
fi
mkdir -p "$out"

# deb NAME COMPONENT CONTROL FBVERSION DEPENDS [SCRIPT...]: the component
# installed into out/NAME with the package's copyright and changelog, file
# modes as Debian wants them, md5sums, and the control file and maintainer
# scripts of packaging/ with their fields filled in; then the package built.
deb() {
  local dir=$out/$1 doc=$out/$1/usr/share/doc/$1 size script template engine=libEngine12.so
  [ "$4" = 3.0 ] || engine=libEngine13.so
  DESTDIR="$dir" cmake --install "$builddir" --prefix /usr --component "$2" --strip >/dev/null
  mkdir -p "$doc" "$dir/DEBIAN"
  cp "$root/packaging/copyright" "$doc/copyright"
  gzip -9n < "$root/packaging/changelog" > "$doc/changelog.gz"
  find "$dir" -type d -exec chmod 755 {} +
  find "$dir" -type f -exec chmod 644 {} +
  [ ! -d "$dir/usr/sbin" ] || chmod 755 "$dir"/usr/sbin/*
  [ ! -d "$dir/usr/share/man" ] || find "$dir/usr/share/man" -type f -exec gzip -9n {} +
  (cd "$dir" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$dir/DEBIAN/md5sums"
  size=$(du -sk --exclude=DEBIAN "$dir" | cut -f1)
  for script in control "${@:6}"; do
    template=$script.lib
    [ "$script" != control ] || template=$3
    sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e "s/@TRIPLET@/$triplet/g" -e "s/@FBVERSION@/$4/g" \
        -e "s/@ENGINE@/$engine/g" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$5/" "$root/packaging/$template" \
        > "$dir/DEBIAN/$script"
    [ "$script" = control ] || chmod 755 "$dir/DEBIAN/$script"
  done
  chmod 644 "$dir/DEBIAN/control" "$dir/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz --build "$dir" "$out" >/dev/null
}

# The C library version the modules need: the newest GLIBC_ symbol version
# either refers to. The legacy module also needs the server's ib_util.
glibc=$(objdump -T "$builddir/libvantor.so" "$builddir/libvantor_udr.so" \
        | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1)
for fbversion in 3.0 4.0; do
  deb "firebird$fbversion-vantor" "debian-$fbversion" control.lib "$fbversion" "libc6 (>= $glibc), libib-util" \
    postinst prerm
done
deb vantor-common common control.common "" ""
ls "$out"/*.deb
