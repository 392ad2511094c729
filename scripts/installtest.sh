#!/usr/bin/env bash
# vantor-install on servers of the official layout (bin/, lib/, plugins/,
# intl/, firebird.conf under one root), built here from the files of the
# Debian engines this machine has: Firebird 3.0 i386, 4.0 amd64 and 4.0
# i386, each with the build of its architecture.
#
# On each root: vantor-install --legacy copies both modules (copies, not
# links) where the root's plugins.conf and UDF folder say, prints the
# UdfAccess line the server needs, which is then set as the README says; the
# engine, run embedded from that root with its own isql and client library,
# declares each module with the shipped scripts and calls it; installing
# again replaces the files; --remove leaves the root exactly as it was.
# Then the refusals, each with a clear message, a non-zero status and the
# root unchanged: a module of the other architecture, a folder that is no
# Firebird root, a root it may not write, a file it did not install,
# --remove with nothing installed, and a file a package owns: for that, the
# Debian packages of both flavours are installed side by side (and checked
# for their messages) and removed again.
#
#   scripts/installtest.sh     (needs root and both flavours built)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/firebird4.sh"
. "$root/scripts/lib/check.sh"
install_tool="$root/scripts/vantor-install"
[ "$(id -u)" -eq 0 ] || { echo "installtest: needs root (dpkg -i)" >&2; exit 2; }
for flavour in i386 x86_64; do
  [ -f "$root/build/$flavour/libvantor_udr.so" ] || { echo "installtest: build $flavour first" >&2; exit 2; }
done
scratch=$(mktemp -d)
chmod 755 "$scratch"
trap '[ -n "${VANTOR_KEEP:-}" ] || rm -rf "$scratch"' EXIT
# The root's files, less the engine's own log, which the engine run from the
# root writes there.
tree() {
  (cd "$1" && find . ! -name 'firebird*.log' -printf '%y %m %p %l\n' | sort \
     && find . -type f ! -name 'firebird*.log' -exec sha256sum {} + | sort)
}

# official_root DEST SERIES ARCH: a root of the official layout from the
# Debian engine's files; sets run_isql to the command that runs its isql.
official_root() {
  local dest=$1 series=$2 arch=$3 triplet system isql client
  triplet=$([ "$arch" = amd64 ] && echo x86_64-linux-gnu || echo i386-linux-gnu)
  if [ "$series" = 3.0 ]; then
    system=/usr/lib/$triplet/firebird/3.0
    isql=$([ "$arch" = amd64 ] && echo /opt/vantor/firebird3.0-utils-amd64/usr/bin/isql-fb || echo /usr/bin/isql-fb)
    client=/usr/lib/$triplet
  else
    fb4_use "$arch"
    system=$FB4_ROOT isql=$FB4_BIN/isql-fb client=$FB4_LIBS
  fi
  mkdir -p "$dest"/{bin,lib,plugins/udr,intl}
  cp "$isql" "$dest/bin/isql"
  cp -L "$client/libfbclient.so.2" "$client/libib_util.so" "$dest/lib/"
  cp "$system"/plugins/*.so "$dest/plugins/"
  cp "$system/intl/libfbintl.so" "$dest/intl/"
  cp -L "$system/intl/fbintl.conf" "$dest/intl/"
  cp "$system/firebird.msg" "$dest/"
  : > "$dest/databases.conf"
  # The official plugins.conf names $(dir_plugins)/udr. Debian's 3.0 build
  # has its plugin folder compiled in, so there the root names its own.
  local udr='$(dir_plugins)/udr'
  [ "$series" != 3.0 ] || udr='$(root)/plugins/udr'
  printf 'Plugin = UDR {\n\tModule = $(dir_plugins)/udr_engine\n\tConfig = UDR_config\n}\n\nConfig = UDR_config {\n\tpath = %s\n}\n' \
    "$udr" > "$dest/plugins.conf"
  # The official builds' defaults: legacy UDFs from the root's UDF folder up
  # to 3.0, which ships that folder; none from 4.0, which does not.
  if [ "$series" = 3.0 ]; then
    mkdir -p "$dest/UDF"
    printf '#UdfAccess = Restrict UDF\n' > "$dest/firebird.conf"
  else
    printf '#UdfAccess = None\n' > "$dest/firebird.conf"
  fi
  if [ "$series" = 3.0 ]; then
    run_isql=(env LD_LIBRARY_PATH="$dest/lib" "$dest/bin/isql")
  else
    run_isql=("$FB4_LOADER" --library-path "$dest/lib:$FB4_LIBS" "$dest/bin/isql")
  fi
}

# call_functions DEST DB SCRIPT: declares the functions with SCRIPT in a new
# UTF8 database, embedded from DEST, and calls one of each family.
call_functions() {
  local dest=$1 db=$2 script=$3
  mkdir -p "$scratch/lock"
  printf "create database '%s' default character set UTF8;\n" "$db" > "$scratch/create.sql"
  FIREBIRD=$dest FIREBIRD_LOCK="$scratch/lock" FIREBIRD_TMP="$scratch" ISC_USER=SYSDBA \
    "${run_isql[@]}" -q -b -ch UTF8 -i "$scratch/create.sql" > "$scratch/call.out" 2>&1 || return 1
  FIREBIRD=$dest FIREBIRD_LOCK="$scratch/lock" FIREBIRD_TMP="$scratch" ISC_USER=SYSDBA \
    "${run_isql[@]}" -q -bail -ch UTF8 -i "$script" "$db" >> "$scratch/call.out" 2>&1 || return 1
  printf "set list on;\nselect Match('INV-2024', 'INV-####') m, ALC('ÍĎ') a, DivDP(7, 2) d, DP2Year(D2DP(DATE '2024-02-29')) y from rdb\$database;\n" \
    > "$scratch/query.sql"
  FIREBIRD=$dest FIREBIRD_LOCK="$scratch/lock" FIREBIRD_TMP="$scratch" ISC_USER=SYSDBA \
    "${run_isql[@]}" -q -ch UTF8 -i "$scratch/query.sql" "$db" >> "$scratch/call.out" 2>&1 || return 1
  tr -s ' ' < "$scratch/call.out" | grep -qx 'M 1' && tr -s ' ' < "$scratch/call.out" | grep -qx 'A íď' \
    && tr -s ' ' < "$scratch/call.out" | grep -qx 'D 3.500000000000000' && tr -s ' ' < "$scratch/call.out" | grep -qx 'Y 2024' \
    || { sed 's/^/    /' "$scratch/call.out" >&2; return 1; }
}

round() {  # round SERIES ARCH FLAVOUR
  local series=$1 arch=$2 flavour=$3 dest="$scratch/$1-$2" before line
  official_root "$dest" "$series" "$arch"
  before=$(tree "$dest")
  cp "$dest/firebird.conf" "$scratch/firebird.conf.before"
  "$install_tool" --root "$dest" --legacy > "$scratch/install.out" 2>&1
  check "$series $arch: vantor-install --legacy succeeds" test $? -eq 0
  check "$series $arch: it reads the server's version and architecture" \
    grep -q "^Firebird $series\.[0-9]*\.[0-9]* ($arch) at $dest\$" "$scratch/install.out"
  check "$series $arch: the UDR module is a copy of the $flavour build's in plugins/udr" \
    bash -c "[ ! -L '$dest/plugins/udr/libvantor_udr.so' ] && cmp -s '$dest/plugins/udr/libvantor_udr.so' '$root/build/$flavour/libvantor_udr.so'"
  check "$series $arch: the legacy module is a copy of the build's in UDF" \
    bash -c "[ ! -L '$dest/UDF/libvantor.so' ] && cmp -s '$dest/UDF/libvantor.so' '$root/build/$flavour/libvantor.so'"
  check "$series $arch: firebird.conf is not edited" cmp -s "$dest/firebird.conf" "$scratch/firebird.conf.before"
  # The UdfAccess line, where the server's default refuses the folder, as
  # printed and as the README says to set it.
  line=$(sed -n 's/^    \(UdfAccess = .*\)/\1/p' "$scratch/install.out")
  check "$series $arch: the UdfAccess line it prints names the UDF folder" test "$line" = "UdfAccess = Restrict $dest/UDF"
  echo "$line" >> "$dest/firebird.conf"
  check "$series $arch: it prints the declaration command of this server" \
    contains "$scratch/install.out" "$dest/bin/isql -bail -user SYSDBA -password <password> -i $root/sql/vantor-udr.sql localhost:<database>"
  check "$series $arch: the engine loads the installed UDR module (declared, called)" \
    call_functions "$dest" "$scratch/$series-$arch-udr.fdb" "$root/sql/vantor-udr.sql"
  check "$series $arch: the engine loads the installed legacy module (declared, called)" \
    call_functions "$dest" "$scratch/$series-$arch-legacy.fdb" "$root/sql/vantor.sql"
  "$install_tool" --root "$dest" --legacy > "$scratch/install.out" 2>&1
  check "$series $arch: installing again replaces its own files" test $? -eq 0
  sed -i '$d' "$dest/firebird.conf"
  "$install_tool" --root "$dest" --remove > "$scratch/remove.out" 2>&1
  check "$series $arch: --remove succeeds" test $? -eq 0
  check "$series $arch: --remove leaves the root exactly as it was" same "$(tree "$dest")" "$before"
}

# refused DESCRIPTION ROOT MESSAGE COMMAND...: the command fails, says
# MESSAGE and leaves ROOT as it was.
refused() {
  local description=$1 dest=$2 message=$3 before status
  shift 3
  before=$(tree "$dest")
  "$@" > "$scratch/refusal.out" 2>&1
  status=$?
  check "refused, $description: non-zero status" test $status -ne 0
  check "refused, $description: says so" contains "$scratch/refusal.out" "$message"
  check "refused, $description: nothing changed" test "$(tree "$dest")" = "$before"
}

round 3.0 i386 i386
round 4.0 amd64 x86_64
round 4.0 i386 i386

dest="$scratch/4.0-amd64"
refused "a module of the other architecture" "$dest" "is i386, the server at $dest is amd64: it could not load it; nothing changed" \
  "$install_tool" --root "$dest" --legacy --modules "$root/build/i386"
mkdir -p "$scratch/notaroot/bin"
refused "a folder that is no Firebird root" "$scratch/notaroot" "is not a Firebird 3.0 or later root that this tool knows" \
  "$install_tool" --root "$scratch/notaroot"
refused "a root it may not write" "$dest" "may not write here" \
  setpriv --reuid=nobody --regid=nogroup --clear-groups "$install_tool" --root "$dest"

# The Debian packages of both flavours, all at once: the 3.0 and 4.0 module
# packages of both architectures install side by side with vantor-common;
# the 4.0 ones say that this machine has no 4.0 server, the 3.0 ones, whose
# servers are here, say nothing of it. On a Debian server's root,
# vantor-install refuses the files the package owns.
packages=(firebird3.0-vantor:i386 firebird3.0-vantor:amd64 firebird4.0-vantor:i386 firebird4.0-vantor:amd64 vantor-common)
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q installed; then
    echo "installtest: $p is installed already; this test installs and removes it" >&2; exit 2
  fi
done
bash "$root/scripts/package.sh" i386 > /dev/null && bash "$root/scripts/package.sh" x86_64 > /dev/null
trap 'dpkg -r "${packages[@]}" > /dev/null 2>&1; [ -n "${VANTOR_KEEP:-}" ] || rm -rf "$scratch"' EXIT
dpkg -i "$root"/build/i386/package/vantor-common_*_all.deb "$root"/build/*/package/firebird[34].0-vantor_*.deb \
  > "$scratch/dpkg.log" 2>&1
check "packages: the 3.0 and 4.0 module packages of i386 and amd64 install side by side" test $? -eq 0
for arch in i386 amd64; do
  check "packages: firebird4.0-vantor:$arch says its server is missing" \
    contains "$scratch/dpkg.log" "firebird4.0-vantor: no Firebird 4.0 server of this architecture ($arch) is installed"
done
check "packages: the 3.0 packages, whose servers are here, do not" bash -c "! grep -q 'no Firebird 3.0 server' '$scratch/dpkg.log'"
debian_root=/usr/lib/i386-linux-gnu/firebird/3.0
refused "a file a package owns" "$debian_root" "libvantor_udr.so belongs to the package firebird3.0-vantor" \
  "$install_tool" --root "$debian_root"
dpkg -r "${packages[@]}" > "$scratch/dpkg.log" 2>&1
check "packages: they remove again" test $? -eq 0
check "packages: nothing of them is left" \
  test -z "$(ls -d /usr/lib/*/firebird/*/UDF/libvantor.so /usr/lib/*/firebird/*/plugins/udr/libvantor_udr.so \
             /usr/lib/*/firebird/4.0 /usr/share/vantor /usr/sbin/vantor-install 2>/dev/null)"

cp "$root/build/x86_64/libvantor_udr.so" "$dest/plugins/udr/"
refused "a file it did not install" "$dest" "exists and vantor-install did not put it there" \
  "$install_tool" --root "$dest"
rm "$dest/plugins/udr/libvantor_udr.so"
refused "--remove with nothing installed" "$dest" "vantor-install installed nothing in $dest" \
  "$install_tool" --root "$dest" --remove

checked installtest
