#!/usr/bin/env bash
# The README's server path over TCP with credentials, in the machine's i386 Firebird 3.0 server (the i386
# and amd64 packages side by side) or, with --debian13, Debian 13's 4.0 server (scripts/lib/trixie.sh): the
# install, installcheck and every function family with each module, moves of a database with dependents
# (failing steps leave it as it was), and removal leaving nothing. SQL and expected outputs: tests/server/.
#   scripts/servertest.sh [--debian13]    (as root, after scripts/build.sh i386 and x86_64; x86_64 for --debian13)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
data="$root/tests/server"
. "$root/scripts/lib/fbroot.sh"
. "$root/scripts/lib/check.sh"
[ $# -eq 0 ] || [ "$*" = --debian13 ] || { echo "usage: $0 [--debian13]" >&2; exit 2; }
[ $# -eq 0 ] && debian13=0 || debian13=1
[ "$(id -u)" -eq 0 ] || { echo "servertest: needs root (dpkg, chroot)" >&2; exit 2; }
scratch=$(mktemp -d)
chmod 755 "$scratch"
installed=0
cleanup() {  # a failed run leaves the machine, and the Debian 13 root, as it found them
  stop_server
  if [ $debian13 -eq 1 ]; then trixie_unserve; elif [ $installed -eq 1 ]; then dpkg -r "${packages[@]}" > /dev/null 2>&1; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

if [ $debian13 -eq 1 ]; then
  . "$root/scripts/lib/trixie.sh"
  build="$root/build/x86_64"
  [ -f "$build/libvantor_udr.so" ] || { echo "servertest: build x86_64 first (scripts/build.sh x86_64)" >&2; exit 2; }
  # The server with the root's configuration (UdfAccess = Restrict UDF); the databases are its files, in the root.
  dbdir=/tmp/vantor-servertest-$$
  trixie_serve "$scratch" "$dbdir" || { echo "servertest: no Debian 13 server with vantor installed" >&2; exit 1; }
  for f in "${TRIXIE_VANTOR_FILES[@]}"; do check "installed in Debian 13: $f" test -f "$TRIXIE_DIR$f"; done
  build_id() { readelf -n "$1" | sed -n 's/.*Build ID: //p'; }  # the package's copy is stripped: compare build IDs
  check "the UDR module installed is the build's" \
    same "$(build_id "$TRIXIE_DIR$TRIXIE_FB/plugins/udr/libvantor_udr.so")" "$(build_id "$build/libvantor_udr.so")"
  scripts="$TRIXIE_DIR/usr/share/vantor" port=$TRIXIE_PORT isql="$scratch/tools/isql-fb" password=$TRIXIE_PASSWORD
else
  packages=(firebird3.0-vantor:i386 firebird3.0-vantor:amd64 vantor-common)
  ! grep ' installed$' <(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' "${packages[@]}" 2>/dev/null) >&2 \
    || { echo "servertest: installed already; this test installs and removes vantor" >&2; exit 2; }
  etc_before=$(cd /etc && find firebird -type f -exec md5sum {} + | sort)
  for flavour in i386 x86_64; do bash "$root/scripts/package.sh" $flavour >/dev/null; done
  installed=1
  dpkg -i "$root"/build/i386/package/vantor-common_*_all.deb "$root"/build/i386/package/firebird3.0-vantor_*_i386.deb \
    "$root"/build/x86_64/package/firebird3.0-vantor_*_amd64.deb > "$scratch/dpkg.log" 2>&1 \
    || { cat "$scratch/dpkg.log"; echo "servertest: dpkg -i failed" >&2; exit 1; }
  for f in /usr/lib/{i386,x86_64}-linux-gnu/firebird/3.0/{UDF/libvantor.so,plugins/udr/libvantor_udr.so} \
           /usr/share/vantor/vantor{,-udr}.sql; do check "installed side by side: $f" test -f "$f"; done
  system_root=/usr/lib/i386-linux-gnu/firebird/3.0
  check "the i386 module is the i386 package's" cmp -s "$system_root/UDF/libvantor.so" \
    "$root/build/i386/package/firebird3.0-vantor$system_root/UDF/libvantor.so"
  scripts=/usr/share/vantor
  # A private root over the system's, its configuration copied from /etc and edited as a user would.
  fbroot="$scratch/root" password=vt$$x
  make_fbroot "$fbroot" "$system_root" databases.conf plugins.conf fbtrace.conf
  cp /etc/firebird/3.0/firebird.conf /etc/firebird/3.0/plugins.conf "$fbroot/"
  start_server "$fbroot" "$scratch" "$password" "$system_root/UDF" || { echo "servertest: no server" >&2; exit 1; }
  port=$server_port
  isql=isql-fb  # the system's client library, over TCP only
  build="$root/build/i386"
  dbdir="$scratch/db"
  mkdir -p "$dbdir"
fi

# The SQL suite with each module (the every-day calendar test, 18 million calls, is left to the embedded engines).
for udr in "" --udr; do
  check "installcheck${udr:+ $udr}: the SQL suite over TCP" bash "$root/scripts/installcheck.sh" \
    --server "127.0.0.1/$port" --user SYSDBA --password "$password" --dir "$dbdir" --isql "$isql" --build "$build" \
    --skip calendar_days $udr
done
dbname() { echo "127.0.0.1/$port:$dbdir/$1.fdb"; }
# run DB SCRIPT: the README's command; the session's output, blank lines left out.
run() { "$isql" -q -bail -ch UTF8 -user SYSDBA -password "$password" -i "$2" "$(dbname "$1")" 2>&1 | sed '/^$/d'; }
quiet() { run "$@" > "$scratch/out"; }
create() {  # create DB CHARSET
  echo "create database '$(dbname "$1")' user 'SYSDBA' password '$password' default character set $2; commit;" \
    | "$isql" -q -bail
}
summary() { run "$1" "$data/summary.sql" | awk 'NF {print $1}' | paste -sd ' '; }  # summary DB: legacy=23 psql=3
fails() { ! quiet "$@"; }
for charset in UTF8 WIN1250; do  # each module declared, every family queried, dropped
  db=fam_$charset
  create "$db" "$charset"
  for module in vantor:legacy vantor-udr:UDR; do
    script=${module%:*} kind=${module#*:}
    quiet "$db" "$scripts/$script.sql" || true
    check "$charset: $script.sql declares 23 $kind functions" same "$(summary "$db")" "$kind=23"
    check "$charset: every family answers ($kind)" same "$(run "$db" "$data/families.sql")" \
      "$(< "$data/families_$charset.out")"
    quiet "$db" "$scripts/$script-drop.sql" || true
    check "$charset: $script-drop.sql drops them all" same "$(summary "$db")" ""
  done
done
# The README's command without credentials fails, and says why.
env -u ISC_USER -u ISC_PASSWORD "$isql" -q -bail -i "$scripts/vantor.sql" "$(dbname fam_UTF8)" > "$scratch/out" 2>&1 \
  && ok=1 || ok=0
check "no credentials: exit status not 0" same "$ok" 0
check "no credentials: the server's message" grep -q 'user name and password are not defined' "$scratch/out"

# Moves with dependents of six kinds. use N inserts row N and reads every dependent.
db=move
create "$db" UTF8
use() { sed "s/@N@/$1/g" "$data/use.sql" > "$scratch/use.sql"; run "$db" "$scratch/use.sql"; }
refused() { fails "$db" "$data/refused.sql" && grep -q 'CHECK constraint' "$scratch/out"; }
quiet "$db" "$scripts/vantor.sql" || true
quiet "$db" "$data/dependents.sql" || cat "$scratch/out"
check "move: legacy module with dependents" same "$(use 0)" "$(< "$data/use_0.out")"
check "move: CHECK constraint holds (legacy)" refused
move() {  # move SCRIPT N TO SUMMARY: the move in place, then row N through every dependent
  quiet "$db" "$scripts/$1" && ok=1 || ok=0
  check "move: $1 moves to $3 ($4)" same "$ok $(summary "$db")" "1 $4"
  check "move: every dependent works through $3" same "$(use "$2")" "$(< "$data/use_$2.out")"
  check "move: CHECK constraint holds ($3)" refused
}
move vantor-udr.sql 1 UDR "UDR=23"
# D2DP, Match and IIF_S are used by others: PSQL stand-ins hold their place until the move back to UDR.
move vantor.sql 2 "legacy again" "legacy=23 psql=3"
move vantor-udr.sql 3 "UDR again" "UDR=23"

# Failing steps leave the database as it was: drops while dependents exist, a move that meets a foreign BLOB2SO.
fingerprint() { run "$db" "$data/kinds.sql"; run "$db" "$data/fingerprint.sql"; }
quiet "$db" "$scripts/vantor-drop.sql" || true
check "failing drop: refused while dependents exist, exit status 1" grep -q 'there are .* dependencies' "$scratch/out"
check "failing drop: exit status not 0" fails "$db" "$scripts/vantor-udr-drop.sql"
quiet "$db" "$scripts/vantor.sql" || true
quiet "$db" "$data/foreign.sql" || true
before=$(fingerprint)
check "failing move: exits non-zero on a foreign BLOB2SO" fails "$db" "$scripts/vantor-udr.sql"
check "failing move: reports the foreign function" grep -q 'BLOB2SO' "$scratch/out"
check "failing move: the database is as before (22 legacy, 3 stand-ins, 1 foreign)" same "$(fingerprint)" "$before"
before=$(fingerprint)
check "failing drop: exits non-zero while dependents exist" fails "$db" "$scripts/vantor-drop.sql"
check "failing drop: the database is exactly as before" same "$(fingerprint)" "$before"

# The dependents go, then every function of vantor.
quiet "$db" "$data/nodependents.sql" || cat "$scratch/out"
quiet "$db" "$scripts/vantor-drop.sql" && ok=1 || ok=0
check "drop: vantor-drop.sql leaves no function and no helper" same "$ok $(summary "$db")" "1 "

# Removal: on 3.0 the modules first (the scripts stay), then the scripts.
if [ $debian13 -eq 1 ]; then
  trixie_stop
  trixie_remove_vantor > "$scratch/dpkg.log" 2>&1 || cat "$scratch/dpkg.log"
  prefix=$TRIXIE_DIR fb=4.0 inroot=(chroot "$TRIXIE_DIR") modules=("${TRIXIE_VANTOR_FILES[@]/#/$TRIXIE_DIR}")
else
  stop_server
  dpkg -r firebird3.0-vantor:i386 firebird3.0-vantor:amd64 > "$scratch/dpkg.log" 2>&1 || cat "$scratch/dpkg.log"
  check "removal: the modules warn of databases still declaring them" grep -q 'vantor-drop.sql' "$scratch/dpkg.log"
  check "removal: the drop scripts stay with the common package" test -f /usr/share/vantor/vantor-drop.sql
  dpkg -r vantor-common > "$scratch/dpkg.log" 2>&1 || cat "$scratch/dpkg.log"
  check "/etc/firebird is unchanged" same "$(cd /etc && find firebird -type f -exec md5sum {} + | sort)" "$etc_before"
  prefix="" fb=3.0 inroot=() modules=(/usr/lib/*/firebird/3.0/UDF/libvantor* /usr/lib/*/firebird/3.0/plugins/udr)
fi
installed=0
left=$( { ls -d "${modules[@]}" "$prefix/usr/share/vantor" "$prefix"/usr/share/doc/firebird$fb-vantor* \
            "$prefix/usr/share/doc/vantor-common" "$prefix/usr/sbin/vantor-install" 2>/dev/null || true
          "${inroot[@]}" dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' "firebird$fb-vantor*" vantor-common \
            2>/dev/null | grep -v 'not-installed$' || true; } )
check "removal: nothing of vantor is left${prefix:+ in the Debian 13 root} (files, dpkg's records)" same "$left" ""

checked servertest
