#!/usr/bin/env bash
# Builds the Debian packages of a flavour's build folder into
# build/<flavour>/package/:
#   firebird3.0-vantor_<version>_<arch>.deb   the two modules for this
#       architecture's Firebird 3.0 server (Multi-Arch: same, so the i386 and
#       amd64 packages install side by side)
#   firebird3.0-vantor-common_<version>_all.deb   the declaration and drop
#       scripts (/usr/share/vantor) and the documentation, the same from
#       either flavour
# from the CMake install components "lib" and "common" (CMakeLists.txt) and
# the control files in packaging/.
#
#   scripts/package.sh i386|x86_64
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-}
case "$flavour" in
  i386) arch=i386 ;;
  x86_64) arch=amd64 ;;
  *) echo "usage: $0 i386|x86_64" >&2; exit 2 ;;
esac
builddir="$root/build/$flavour"
[ -f "$builddir/libvantor.so" ] && [ -f "$builddir/libvantor_udr.so" ] \
  || { echo "package: build $flavour first (scripts/build.sh $flavour)" >&2; exit 2; }
version=$(sed -n 's/^project(vantor VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
out="$builddir/package"
rm -rf "$out"
mkdir -p "$out"

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
}

# build NAME CONTROL DEPENDS: writes the control file and md5sums, builds.
build() {
  local dir="$out/$1" control=$2 depends=${3:-}
  local size
  size=$(du -sk --exclude=DEBIAN "$dir" | cut -f1)
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" \
      -e "s/@DEPENDS@/$depends/" "$root/packaging/$control" > "$dir/DEBIAN/control"
  (cd "$dir" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$dir/DEBIAN/md5sums"
  chmod 644 "$dir/DEBIAN/control" "$dir/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz --build "$dir" "$out" >/dev/null
}

stage firebird3.0-vantor lib
cp "$root/packaging/prerm.lib" "$out/firebird3.0-vantor/DEBIAN/prerm"
chmod 755 "$out/firebird3.0-vantor/DEBIAN/prerm"
# The C library version the modules need: the newest GLIBC_ symbol version
# either refers to. The legacy module also needs the server's ib_util.
glibc=$(objdump -T "$out"/firebird3.0-vantor/usr/lib/*/firebird/3.0/UDF/libvantor.so \
          "$out"/firebird3.0-vantor/usr/lib/*/firebird/3.0/plugins/udr/libvantor_udr.so \
        | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1)
build firebird3.0-vantor control.lib "libc6 (>= $glibc), libib-util"

stage firebird3.0-vantor-common common
build firebird3.0-vantor-common control.common

ls "$out"/*.deb
