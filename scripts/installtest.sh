#!/usr/bin/env bash
# vantor-install on official-layout roots made from the Debian engines here (3.0 i386, 4.0 amd64 and i386): it
# installs both modules, which the engine embedded from the root then declares and calls; reinstalls; removes all it
# put there. Each refusal fails, says why and changes nothing; the Debian packages install side by side and remove.
#   scripts/installtest.sh     (needs root and both flavours built)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/firebird4.sh"
. "$root/scripts/lib/check.sh"
install_tool="$root/scripts/vantor-install"
packages=(firebird{3,4}.0-vantor:{i386,amd64} vantor-common)
[ "$(id -u)" -eq 0 ] || { echo "installtest: needs root (dpkg -i)" >&2; exit 2; }
[ -f "$root/build/i386/libvantor_udr.so" ] && [ -f "$root/build/x86_64/libvantor_udr.so" ] \
  || { echo "installtest: build i386 and x86_64 first" >&2; exit 2; }
there=$(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' "${packages[@]}" 2>/dev/null | grep ' installed$')
[ -z "$there" ] || { echo "installtest: installed already: $there; this test installs and removes them" >&2; exit 2; }
scratch=$(mktemp -d)
chmod 755 "$scratch"
mkdir "$scratch/lock"
trap 'dpkg -r "${packages[@]}" > /dev/null 2>&1; [ -n "${VANTOR_KEEP:-}" ] || rm -rf "$scratch"' EXIT
# The root's files and their hashes, less the log that the engine run from the root writes there.
tree() { (cd "$1" && find . ! -name 'firebird*.log' -printf '%y %m %p %l\n' -type f -exec sha256sum {} + | sort); }
copy_of() { [ ! -L "$1" ] && cmp -s "$1" "$2"; }
official_root() {  # official_root DEST SERIES ARCH; sets run_isql, the command that runs the root's isql
  local dest=$1 system isql client
  fb4_use "$3"
  system=$FB4_ROOT isql=$FB4_BIN/isql-fb client=$FB4_LIBS
  run_isql=("$FB4_LOADER" --library-path "$dest/lib:$FB4_LIBS" "$dest/bin/isql")
  mkdir -p "$dest"/{bin,lib,plugins/udr,intl}
  if [ "$2" = 3.0 ]; then
    system=/usr/lib/i386-linux-gnu/firebird/3.0 isql=/usr/bin/isql-fb client=/usr/lib/i386-linux-gnu
    run_isql=(env LD_LIBRARY_PATH="$dest/lib" "$dest/bin/isql")
    mkdir "$dest/UDF"
  fi
  cp "$root/tests/install/$2"/*.conf "$dest/"
  cp "$isql" "$dest/bin/isql"
  cp -L "$client/libfbclient.so.2" "$client/libib_util.so" "$dest/lib/"
  cp "$system"/plugins/*.so "$dest/plugins/"
  cp -L "$system"/intl/{libfbintl.so,fbintl.conf} "$dest/intl/"
  cp "$system/firebird.msg" "$dest/"
  : > "$dest/databases.conf"
}
isql_at() {  # isql_at DEST ARGS...: the root's isql, its engine embedded
  FIREBIRD=$1 FIREBIRD_LOCK="$scratch/lock" FIREBIRD_TMP="$scratch" ISC_USER=SYSDBA "${run_isql[@]}" -q -ch UTF8 "${@:2}"
}
call_functions() {  # call_functions DEST DB SCRIPT: declares with SCRIPT in a new database, calls each family
  local out="$scratch/call.out"
  isql_at "$1" -b -i <(echo "create database '$2' default character set UTF8;") > "$out" 2>&1 \
    && isql_at "$1" -bail -i "$3" "$2" >> "$out" 2>&1 \
    && isql_at "$1" -i "$root/tests/install/calls.sql" "$2" > "$out" 2>&1 || { sed 's/^/    /' "$out" >&2; return 1; }
  same "$(tr -s ' ' < "$out" | grep -v '^$')" "$(cat "$root/tests/install/calls.out")"
}
round() {  # round SERIES ARCH FLAVOUR
  local series=$1 arch=$2 build="$root/build/$3" dest="$scratch/$1-$2" at="$1 $2:" out="$scratch/install.out" before line
  official_root "$dest" "$series" "$arch"
  before=$(tree "$dest")
  check "$at vantor-install --legacy succeeds" logged "$out" "$install_tool" --root "$dest" --legacy
  check "$at it reads the server's version and architecture" \
    grep -q "^Firebird $series\.[0-9]*\.[0-9]* ($arch) at $dest\$" "$out"
  check "$at the UDR module is a copy of the $3 build's in plugins/udr" \
    copy_of "$dest/plugins/udr/libvantor_udr.so" "$build/libvantor_udr.so"
  check "$at the legacy module is a copy of the build's in UDF" copy_of "$dest/UDF/libvantor.so" "$build/libvantor.so"
  check "$at firebird.conf is not edited" cmp -s "$dest/firebird.conf" "$root/tests/install/$series/firebird.conf"
  line=$(sed -n 's/^    \(UdfAccess = .*\)/\1/p' "$out")
  check "$at the UdfAccess line it prints names the UDF folder" same "$line" "UdfAccess = Restrict $dest/UDF"
  echo "$line" >> "$dest/firebird.conf"
  check "$at it prints the declaration command of this server" contains "$out" \
    "$dest/bin/isql -bail -user SYSDBA -password <password> -i $root/sql/vantor-udr.sql localhost:<database>"
  check "$at the engine loads the installed UDR module (declared, called)" \
    call_functions "$dest" "$scratch/$series-$arch-udr.fdb" "$root/sql/vantor-udr.sql"
  check "$at the engine loads the installed legacy module (declared, called)" \
    call_functions "$dest" "$scratch/$series-$arch-legacy.fdb" "$root/sql/vantor.sql"
  check "$at installing again replaces its own files" logged "$out" "$install_tool" --root "$dest" --legacy
  sed -i '$d' "$dest/firebird.conf"
  check "$at --remove succeeds" logged "$scratch/remove.out" "$install_tool" --root "$dest" --remove
  check "$at --remove leaves the root exactly as it was" same "$(tree "$dest")" "$before"
}
fails() { ! "$@" > "$scratch/refusal.out" 2>&1; }
# refused DESCRIPTION ROOT MESSAGE ARGS...: vantor-install --root ROOT ARGS... (run by the command in $as, if set)
# fails, says MESSAGE and leaves ROOT as it was.
refused() {
  local at="refused, $1:" dest=$2 message=$3 before
  shift 3
  before=$(tree "$dest")
  check "$at non-zero status" fails ${as:-} "$install_tool" --root "$dest" "$@"
  check "$at says so" contains "$scratch/refusal.out" "$message"
  check "$at nothing changed" same "$(tree "$dest")" "$before"
}

round 3.0 i386 i386
round 4.0 amd64 x86_64
round 4.0 i386 i386
dest="$scratch/4.0-amd64"
refused "a module of the other architecture" "$dest" \
  "is i386, the server at $dest is amd64: it could not load it; nothing changed" --legacy --modules "$root/build/i386"
mkdir -p "$scratch/notaroot/bin"
refused "a folder that is no Firebird root" "$scratch/notaroot" "is not a Firebird 3.0 or later root that this tool knows"
as="setpriv --reuid=nobody --regid=nogroup --clear-groups" refused "a root it may not write" "$dest" "may not write here"

# The 4.0 packages say that this machine has no 4.0 server; the 3.0 ones, whose servers are here, do not.
bash "$root/scripts/package.sh" i386 > /dev/null && bash "$root/scripts/package.sh" x86_64 > /dev/null
check "packages: the 3.0 and 4.0 module packages of i386 and amd64 install side by side" logged "$scratch/dpkg.log" \
  dpkg -i "$root"/build/i386/package/vantor-common_*_all.deb "$root"/build/*/package/firebird[34].0-vantor_*.deb
for arch in i386 amd64; do
  check "packages: firebird4.0-vantor:$arch says its server is missing" \
    contains "$scratch/dpkg.log" "firebird4.0-vantor: no Firebird 4.0 server of this architecture ($arch) is installed"
done
check "packages: the 3.0 packages, whose servers are here, do not" fails grep -q 'no Firebird 3.0' "$scratch/dpkg.log"
refused "a file a package owns" /usr/lib/i386-linux-gnu/firebird/3.0 \
  "libvantor_udr.so belongs to the package firebird3.0-vantor"
check "packages: they remove again" logged "$scratch/dpkg.log" dpkg -r "${packages[@]}"
check "packages: nothing of them is left" \
  same "$(ls -d /usr/lib/*/firebird/*/UDF/libvantor.so /usr/lib/*/firebird/*/plugins/udr/libvantor_udr.so \
             /usr/lib/*/firebird/4.0 /usr/share/vantor /usr/sbin/vantor-install 2>/dev/null)" ""
cp "$root/build/x86_64/libvantor_udr.so" "$dest/plugins/udr/"
refused "a file it did not install" "$dest" "exists and vantor-install did not put it there"
rm "$dest/plugins/udr/libvantor_udr.so"
refused "--remove with nothing installed" "$dest" "vantor-install installed nothing in $dest" --remove
checked installtest
