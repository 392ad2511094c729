#!/usr/bin/env bash
# Builds the Debian packages of a flavour's build folder into
# build/<flavour>/package/, all from that one build:
#   firebird3.0-vantor_<version>_<arch>.deb   the two modules in the folders
#       of this architecture's Firebird 3.0 server (Debian 12)
#   firebird4.0-vantor_<version>_<arch>.deb   the same two modules in the
#       folders of this architecture's Firebird 4.0 server (Debian 13)
#   vantor-common_<version>_all.deb   the declaration and drop scripts
#       (/usr/share/vantor), vantor-install and the documentation, the same
#       from either flavour; both module packages depend on it
# Every module package is Multi-Arch: same, and the 3.0 and 4.0 packages
# share no path, so all four install side by side. They are made from the
# CMake install components "debian-3.0", "debian-4.0" and "common"
# (CMakeLists.txt) and the control files in packaging/.
#
# For a Windows flavour it makes the Windows kit instead,
# build/<flavour>/package/vantor-<version>-<flavour>.zip: the two DLLs
# (stripped), the four SQL scripts in sql\ and a README for Windows
# (packaging/windows/README.txt).
#
#   scripts/package.sh i386|x86_64|win32|win64
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-}
case "$flavour" in
  i386) arch=i386 triplet=i386-linux-gnu ;;
  x86_64) arch=amd64 triplet=x86_64-linux-gnu ;;
  win32) bits=32 triplet=i686-w64-mingw32 ;;
  win64) bits=64 triplet=x86_64-w64-mingw32 ;;
  *) echo "usage: $0 i386|x86_64|win32|win64" >&2; exit 2 ;;
esac
version=$(sed -n 's/^project(vantor VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
if [ "$flavour" = win32 ] || [ "$flavour" = win64 ]; then
  builddir="$root/build/$flavour" kit="vantor-$version-$flavour"
  [ -f "$builddir/vantor.dll" ] && [ -f "$builddir/vantor_udr.dll" ] \
    || { echo "package: build $flavour first (scripts/build.sh $flavour)" >&2; exit 2; }
  out="$builddir/package"
  rm -rf "$out"
  mkdir -p "$out/$kit/sql"
  for dll in vantor.dll vantor_udr.dll; do "$triplet-strip" -o "$out/$kit/$dll" "$builddir/$dll"; done
  cp "$root"/sql/vantor.sql "$root"/sql/vantor-udr.sql "$root"/sql/vantor-drop.sql "$root"/sql/vantor-udr-drop.sql "$out/$kit/sql/"
  sed -e "s/@VERSION@/$version/g" -e "s/@BITS@/$bits/g" -e "s/@KIT@/$flavour/g" -e 's/$/\r/' \
    "$root/packaging/windows/README.txt" > "$out/$kit/README.txt"
  find "$out/$kit" -exec touch -d "@$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)" {} +
  (cd "$out" && zip -qrX "$kit.zip" "$kit")
  rm -rf "${out:?}/$kit"
  ls "$out/$kit.zip"
  exit 0
fi
builddir="$root/build/$flavour"
[ -f "$builddir/libvantor.so" ] && [ -f "$builddir/libvantor_udr.so" ] \
  || { echo "package: build $flavour first (scripts/build.sh $flavour)" >&2; exit 2; }
out="$builddir/package"
rm -rf "$out"
mkdir -p "$out"

# substitute FILE FBVERSION: a packaging/ template with its fields filled in.
substitute() {
  local engine=libEngine12.so
  [ "$2" = 3.0 ] || engine=libEngine13.so
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e "s/@TRIPLET@/$triplet/g" \
      -e "s/@FBVERSION@/$2/g" -e "s/@ENGINE@/$engine/g" "$root/packaging/$1"
}

# stage NAME COMPONENT: installs a component into out/NAME with the package's
# copyright and changelog, file modes as Debian wants them.
stage() {
  local dir="$out/$1" component=$2
  DESTDIR="$dir" cmake --install "$builddir" --prefix /usr --component "$component" --strip >/dev/null
  mkdir -p "$dir/usr/share/doc/$1" "$dir/DEBIAN"
  cp "$root/packaging/copyright" "$dir/usr/share/doc/$1/copyright"
  gzip -9n < "$root/packaging/changelog" > "$dir/usr/share/doc/$1/changelog.gz"
  find "$dir" -type d -exec chmod 755 {} +
  find "$dir" -type f -exec chmod 644 {} +
  [ ! -d "$dir/usr/sbin" ] || chmod 755 "$dir"/usr/sbin/*
  [ ! -d "$dir/usr/share/man" ] || find "$dir/usr/share/man" -type f -exec gzip -9n {} +
}

# build NAME CONTROL FBVERSION DEPENDS: writes the control file and md5sums,
# builds.
build() {
  local dir="$out/$1" control=$2 fbversion=$3 depends=${4:-}
  local size
  size=$(du -sk --exclude=DEBIAN "$dir" | cut -f1)
  substitute "$control" "$fbversion" | sed -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" > "$dir/DEBIAN/control"
  (cd "$dir" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$dir/DEBIAN/md5sums"
  chmod 644 "$dir/DEBIAN/control" "$dir/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz --build "$dir" "$out" >/dev/null
}

# The C library version the modules need: the newest GLIBC_ symbol version
# either refers to. The legacy module also needs the server's ib_util.
glibc=$(objdump -T "$builddir/libvantor.so" "$builddir/libvantor_udr.so" \
        | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1)
for fbversion in 3.0 4.0; do
  name=firebird$fbversion-vantor
  stage "$name" "debian-$fbversion"
  for script in postinst prerm; do
    substitute "$script.lib" "$fbversion" > "$out/$name/DEBIAN/$script"
    chmod 755 "$out/$name/DEBIAN/$script"
  done
  build "$name" control.lib "$fbversion" "libc6 (>= $glibc), libib-util"
done

stage vantor-common common
build vantor-common control.common ""

ls "$out"/*.deb
