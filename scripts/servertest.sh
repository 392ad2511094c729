#!/usr/bin/env bash
# The README's server path, executed: installs the built packages into the
# machine's real Firebird 3.0 server the way the README says, and uses them
# over TCP with credentials, as a database administrator would.
#
#   1. builds the packages of both flavours (scripts/package.sh) and installs
#      them with dpkg -i: the i386 and the amd64 module packages side by side,
#      and the common package with the scripts;
#   2. starts the i386 server (/usr/sbin/firebird) from a private root: the
#      server's own configuration files copied from /etc/firebird/3.0 with
#      UdfAccess allowing the system's UDF folder added, bound to 127.0.0.1 on a free port, its
#      own copy of the security database with a SYSDBA password of its own
#      (/etc is never changed: checked at the end);
#   3. in a UTF8 and a WIN1250 database: declares the legacy module with
#      /usr/share/vantor/vantor.sql, runs a query of every function family,
#      drops it, declares the UDR module, runs the same queries;
#   4. moves a database with six kinds of dependents (view, procedure,
#      trigger, computed column, CHECK constraint, expression index) from the
#      legacy module to the UDR module and back, and to UDR again, with every
#      dependent working after each step; shows that two deliberately failing
#      steps (a move that meets a foreign function, a drop while dependents
#      exist) leave the database exactly as it was and exit non-zero;
#      drops everything;
#   5. stops the server, removes the packages (dpkg -r: the modules first,
#      then the scripts) and checks that nothing of them is left.
#
#   Between 2 and 3, installcheck (scripts/installcheck.sh) runs the SQL
#   suite against the server over TCP with each module.
#
# Needs root (dpkg) and both flavours built (scripts/build.sh i386 and
# x86_64). Refuses to run when the packages are already installed.
#
# With --debian13, the same against Debian 13's own Firebird 4.0 server
# (scripts/lib/trixie.sh): in a Debian 13 root made once per machine, the 4.0
# package of the x86-64 build installed there (or its files, where
# scripts/package.sh makes no 4.0 package), the server started there as user
# firebird on a free loopback port, reached over TCP from outside the root
# with the root's own 4.0 client; at the end vantor is removed from the root
# and nothing of it may be left there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/fbroot.sh"
. "$root/scripts/lib/platform.sh"
. "$root/scripts/lib/check.sh"
debian13=0
case "${1:-}" in
  --debian13) debian13=1 ;;
  "") ;;
  *) echo "usage: $0 [--debian13]" >&2; exit 2 ;;
esac

scratch=$(mktemp -d)
chmod 755 "$scratch"
server_pid=""
installed=0
cleanup() {
  stop_server
  # A failed run leaves the machine, and the Debian 13 root, as it found them.
  if [ $debian13 -eq 1 ]; then
    trixie_stop
    [ $installed -eq 0 ] || trixie_remove_vantor || true
    [ -z "${dbdir:-}" ] || rm -rf "$TRIXIE_DIR$dbdir"
  elif [ $installed -eq 1 ]; then
    dpkg -r firebird3.0-vantor:i386 firebird3.0-vantor:amd64 vantor-common >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

if [ $debian13 -eq 1 ]; then
  [ "$(id -u)" -eq 0 ] || { echo "servertest: needs root (debootstrap, chroot)" >&2; exit 2; }
  . "$root/scripts/lib/trixie.sh"
  build="$root/build/x86_64"
  [ -f "$build/libvantor_udr.so" ] || { echo "servertest: build x86_64 first (scripts/build.sh x86_64)" >&2; exit 2; }
  # One run at a time uses the root.
  mkdir -p "$(dirname "$TRIXIE_DIR")"
  exec 9> "$TRIXIE_DIR.lock"
  flock 9
  trixie_make || { echo "servertest: no Debian 13 root" >&2; exit 1; }
  # 1. vantor for 4.0, as the package installs it.
  bash "$root/scripts/package.sh" x86_64 >/dev/null
  installed=1
  trixie_install_vantor "$build" > "$scratch/dpkg.log" 2>&1 \
    || { cat "$scratch/dpkg.log"; echo "servertest: installing vantor in the Debian 13 root failed" >&2; exit 1; }
  for f in "${TRIXIE_VANTOR_FILES[@]}"; do check "installed in Debian 13: $f" test -f "$TRIXIE_DIR$f"; done
  # The package's copy is stripped: the same build shows as the same build ID.
  build_id() { readelf -n "$1" | sed -n 's/.*Build ID: //p'; }
  check "the UDR module installed is the build's" same "$(build_id "$TRIXIE_DIR$TRIXIE_FB/plugins/udr/libvantor_udr.so")" \
    "$(build_id "$build/libvantor_udr.so")"
  scripts="$TRIXIE_DIR/usr/share/vantor"
  # 2. The server, with the root's configuration: UdfAccess = Restrict UDF.
  port=$(free_port 33000 33999) || { echo "servertest: no free port" >&2; exit 1; }
  trixie_start "$port" "$scratch" || exit 1
  trixie_tools "$scratch/tools"
  isql=("$scratch/tools/isql-fb")
  # The databases are the server's files, in the root.
  dbdir=/tmp/vantor-servertest-$$
  mkdir -p "$TRIXIE_DIR$dbdir"
  chroot "$TRIXIE_DIR" chown firebird:firebird "$dbdir"
  dbname() { echo "127.0.0.1/$port:$dbdir/$1.fdb"; }
  password=$TRIXIE_PASSWORD
  creds=(-user SYSDBA -password "$password")
  auth="user 'SYSDBA' password '$password'"
else
  [ "$(id -u)" -eq 0 ] || { echo "servertest: needs root (dpkg -i)" >&2; exit 2; }
  for p in firebird3.0-vantor:i386 firebird3.0-vantor:amd64 vantor-common; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q installed; then
      echo "servertest: $p is installed already; this test installs and removes it" >&2; exit 2
    fi
  done
  etc_before=$(cd /etc && find firebird -type f -exec md5sum {} + | sort)

  # 1. The packages, installed as the README says.
  bash "$root/scripts/package.sh" i386 >/dev/null
  bash "$root/scripts/package.sh" x86_64 >/dev/null
  installed=1
  dpkg -i "$root"/build/i386/package/vantor-common_*_all.deb \
    "$root"/build/i386/package/firebird3.0-vantor_*_i386.deb \
    "$root"/build/x86_64/package/firebird3.0-vantor_*_amd64.deb > "$scratch/dpkg.log" 2>&1 \
    || { cat "$scratch/dpkg.log"; echo "servertest: dpkg -i failed" >&2; exit 1; }
  for f in /usr/lib/i386-linux-gnu/firebird/3.0/UDF/libvantor.so \
           /usr/lib/i386-linux-gnu/firebird/3.0/plugins/udr/libvantor_udr.so \
           /usr/lib/x86_64-linux-gnu/firebird/3.0/UDF/libvantor.so \
           /usr/lib/x86_64-linux-gnu/firebird/3.0/plugins/udr/libvantor_udr.so \
           /usr/share/vantor/vantor.sql /usr/share/vantor/vantor-udr.sql; do
    check "installed side by side: $f" test -f "$f"
  done
  check "the i386 module is the i386 package's" cmp -s /usr/lib/i386-linux-gnu/firebird/3.0/UDF/libvantor.so \
    "$root"/build/i386/package/firebird3.0-vantor/usr/lib/i386-linux-gnu/firebird/3.0/UDF/libvantor.so
  scripts=/usr/share/vantor

  # 2. The server, from a private root over the system's: configuration
  # copied from /etc, UdfAccess as the README sets it.
  port=$(free_port 32000 32999) || { echo "servertest: no free port" >&2; exit 1; }
  system_root=/usr/lib/i386-linux-gnu/firebird/3.0
  fbroot="$scratch/root"
  mkdir -p "$scratch/db"
  make_fbroot "$fbroot" "$system_root" databases.conf plugins.conf fbtrace.conf
  cp /etc/firebird/3.0/firebird.conf /etc/firebird/3.0/plugins.conf "$fbroot/"
  # The settings this test changes are edited, as a user would: the engine
  # takes the first of two lines that set one parameter.
  sed -i -E 's/^[[:space:]]*(UdfAccess|RemoteServicePort|RemoteBindAddress|IpcName)[[:space:]]*=/# &/' "$fbroot/firebird.conf"
  # The README's "UdfAccess = Restrict UDF" names the UDF folder of the
  # server's root; this root links to the system's, and the engine checks
  # the real path, so the folder is named by its real path here.
  printf '\nUdfAccess = Restrict %s/UDF\nRemoteServicePort = %s\nRemoteBindAddress = 127.0.0.1\nIpcName = vantor_server_%s\n' \
    "$system_root" "$port" "$port" >> "$fbroot/firebird.conf"
  password=vt$$x
  start_server "$fbroot" "$scratch" "$port" "$password" || { echo "servertest: server did not start" >&2; exit 1; }
  # Clients go through the system's client library and TCP only.
  isql=(isql-fb)
  build="$root/build/i386"
  dbdir="$scratch/db"
  dbname() { echo "127.0.0.1/$port:$scratch/db/$1.fdb"; }
  creds=(-user SYSDBA -password "$password")
  auth="user 'SYSDBA' password '$password'"
fi

# The SQL suite against the server, with each module (the every-day calendar
# test is left to the embedded engines: 18 million calls).
installcheck() {
  bash "$root/scripts/installcheck.sh" --server "127.0.0.1/$port" --user SYSDBA --password "$password" \
    --dir "$dbdir" --isql "${isql[0]}" --build "$build" --skip calendar_days "$@"
}
check "installcheck: the SQL suite over TCP, legacy module" installcheck
check "installcheck: the SQL suite over TCP, UDR module" installcheck --udr

# run DB SCRIPT [CHARSET]: the README's command; prints the session's output.
run() { "${isql[@]}" -q -bail -ch "${3:-UTF8}" "${creds[@]}" -i "$2" "$(dbname "$1")" 2>&1; }
sqlfile() { cat > "$scratch/$1.sql"; echo "$scratch/$1.sql"; }
create() {  # create NAME CHARSET
  printf "create database '%s' %s default character set %s;\ncommit;\n" "$(dbname "$1")" "$auth" "$2" > "$scratch/create.sql"
  "${isql[@]}" -q -bail -i "$scratch/create.sql"
}
# What the database holds of vantor: each function's kind, and the helpers.
kinds=$(sqlfile kinds <<'EOF'
set heading off;
select trim(rdb$function_name) || ':' || iif(rdb$legacy_flag = 1, 'legacy', coalesce(trim(rdb$engine_name), 'psql'))
  from rdb$functions where rdb$system_flag = 0 order by 1;
EOF
)
summary() { run "$1" "$kinds" | awk 'NF {split($1, a, ":"); n[a[2]]++} END {for (k in n) printf "%s=%d ", k, n[k]; print ""}' | tr ' ' '\n' | sort | tr '\n' ' ' | sed 's/^ *//; s/ *$//'; }

# 3. A query of every function family, with text outside ASCII. In a UTF8
# database Match sees UTF-8 bytes, so '????' covers 'Žluť' there only when
# each of its characters is one byte: 0 in UTF8, 1 in WIN1250.
families=$(sqlfile families <<'EOF'
set list on;
select D2DP(DATE '2000-01-01') as d2dp, DP2TS(36526.75) as dp2ts, DP2Year(36585) as dp2year,
  DPDOW(D2DP(DATE '2024-01-01'), '135') as dpdow, iif(abs(datediff(second from Now() to localtimestamp)) < 5, 1, 0) as now_ok,
  Match('INV-2024-000123', 'INV-####*') as match_ascii, Match('Žluťoučký kůň', 'Ž*ň') as match_text,
  Match('Žluť', '????') as match_bytes,
  ALC('ŽLUŤOUČKÝ KŮŇ, Hello') as alc, IIF_S(1, 'žluť', 'no') as iif_s, IIF_I(0, 10, 20) as iif_i, DivDP(7, 0) as divdp,
  BLOB2I(CAST(x'01000080' AS BLOB)) as blob2i,
  BLOB2SO(CAST(x'0500000009000000050000000A000000' AS BLOB), 5, 10) as blob2so
from rdb$database;
EOF
)
expected_families() {  # the output of $families, by the database's character set
  cat <<EOF
D2DP                            36526.00000000000
DP2TS                           2000-01-01 18:00:00.0000
DP2YEAR                         2000
DPDOW                           1
NOW_OK                          1
MATCH_ASCII                     1
MATCH_TEXT                      1
MATCH_BYTES                     $1
ALC                             žluťoučký kůň, hello
IIF_S                           žluť
IIF_I                           20
DIVDP                           0.000000000000000
BLOB2I                          -2147483647
BLOB2SO                         1
EOF
}
normal() { grep -v '^$'; }

for charset in UTF8 WIN1250; do
  db=fam_$charset
  create "$db" "$charset"
  bytes=1; [ "$charset" = UTF8 ] && bytes=0
  run "$db" "$scripts/vantor.sql" > "$scratch/out" || true
  check "$charset: vantor.sql declares 23 legacy functions" same "$(summary "$db")" "legacy=23"
  check "$charset: every family answers (legacy)" same "$(run "$db" "$families" | normal)" "$(expected_families $bytes)"
  run "$db" "$scripts/vantor-drop.sql" > "$scratch/out" || true
  check "$charset: vantor-drop.sql drops them all" same "$(summary "$db")" ""
  run "$db" "$scripts/vantor-udr.sql" > "$scratch/out" || true
  check "$charset: vantor-udr.sql declares 23 UDR functions" same "$(summary "$db")" "UDR=23"
  check "$charset: every family answers (UDR)" same "$(run "$db" "$families" | normal)" "$(expected_families $bytes)"
done

# The README's command without credentials fails, and says why.
env -u ISC_USER -u ISC_PASSWORD "${isql[@]}" -q -bail -i "$scripts/vantor.sql" "$(dbname fam_UTF8)" > "$scratch/out" 2>&1 && ok=1 || ok=0
check "no credentials: exit status not 0" same "$ok" 0
check "no credentials: the server's message" grep -q 'user name and password are not defined' "$scratch/out"

# 4. Moves with dependents of six kinds.
db=move
create "$db" UTF8
dependents=$(sqlfile dependents <<'EOF'
create table t (id integer, d date, code varchar(30), dp computed by (D2DP(d)),
  constraint t_code check (Match(code, 'INV-*') = 1));
create index t_dp on t computed by (D2DP(d));
create view v as select id, D2DP(d) as x, Match(code, 'INV-9*') as m, IIF_S(1, code, 'x') as s from t;
set term ^;
create procedure p returns (x double precision) as begin for select D2DP(d) from t order by id into :x do suspend; end^
create trigger t_mark for t before insert as begin if (Match(new.code, 'INV-9*') = 1) then new.code = new.code || '!'; end^
set term ;^
commit;
EOF
)
# use N: inserts a row (the trigger and the CHECK run), then reads every
# dependent, and what NULL gives.
use() {
  sqlfile use > /dev/null <<EOF
insert into t (id, d, code) values ($1, DATE '2000-01-01' + $1, 'INV-9$1');
commit;
set list on;
select count(*) as rows_, cast(sum(dp) as integer) as computed from t;
select count(*) as by_index from t where D2DP(d) = 36526 + $1;
select cast(sum(x) as integer) as view_x, sum(m) as view_m, max(s) as view_s from v;
select cast(sum(x) as integer) as procedure_x from p;
select Match(NULL, '') as match_null, DPDOW(0, NULL) as dpdow_null from rdb\$database;
EOF
  run "$db" "$scratch/use.sql" | normal
}
# The CHECK constraint refuses a code outside its mask, whichever module.
refused() {
  sqlfile refused > /dev/null <<'EOF'
insert into t (id, d, code) values (99, DATE '2000-01-01', 'X');
EOF
  ! run "$db" "$scratch/refused.sql" > "$scratch/refused.out" && grep -q 'CHECK constraint' "$scratch/refused.out"
}
used() {  # used N NULLS: the expected output of use N, NULLS as the legacy rules give (1), which a move keeps
  local n=$1 rows=$(( $1 + 1 )) sum=0
  for i in $(seq 0 "$1"); do sum=$((sum + 36526 + i)); done
  cat <<EOF
ROWS_                           $rows
COMPUTED                        $sum
BY_INDEX                        1
VIEW_X                          $sum
VIEW_M                          $rows
VIEW_S                          INV-9$n!
PROCEDURE_X                     $sum
MATCH_NULL                      $2
DPDOW_NULL                      $2
EOF
}
run "$db" "$scripts/vantor.sql" > "$scratch/out" || true
run "$db" "$dependents" > "$scratch/out" || { cat "$scratch/out"; }
check "move: legacy module with dependents" same "$(use 0)" "$(used 0 1)"
check "move: CHECK constraint holds (legacy)" refused
run "$db" "$scripts/vantor-udr.sql" > "$scratch/out" && ok=1 || ok=0
check "move: vantor-udr.sql moves to UDR in place" same "$ok $(summary "$db")" "1 UDR=23"
check "move: every dependent works through UDR" same "$(use 1)" "$(used 1 1)"
check "move: CHECK constraint holds (UDR)" refused
run "$db" "$scripts/vantor.sql" > "$scratch/out" && ok=1 || ok=0
check "move: vantor.sql moves back (D2DP, Match and IIF_S used by others: stand-ins)" \
  same "$ok $(summary "$db")" "1 legacy=23 psql=3"
check "move: every dependent works through legacy" same "$(use 2)" "$(used 2 1)"
check "move: CHECK constraint holds (legacy again)" refused
run "$db" "$scripts/vantor-udr.sql" > "$scratch/out" && ok=1 || ok=0
check "move: vantor-udr.sql moves to UDR again, helpers dropped" same "$ok $(summary "$db")" "1 UDR=23"
check "move: every dependent works through UDR again" same "$(use 3)" "$(used 3 1)"

# Deliberately failing steps. First: a move that meets BLOB2SO declared by
# something else, after 22 of its 23 functions (the last one fails).
fingerprint() {
  { run "$db" "$kinds"; run "$db" "$(sqlfile fp <<'EOF'
set list on;
select count(*) as rows_, cast(sum(dp) as integer) as computed from t;
select * from v order by id;
select Match(NULL, '') as match_null from rdb$database;
EOF
)"; } | normal
}
foreign=$(sqlfile foreign <<'EOF'
set term ^;
create or alter function BLOB2SO (B BLOB, K INTEGER, L INTEGER) returns integer as begin return -1; end^
set term ;^
commit;
EOF
)
run "$db" "$scripts/vantor-drop.sql" > "$scratch/out" || true
check "failing drop: refused while dependents exist, exit status 1" grep -q 'there are .* dependencies' "$scratch/out"
run "$db" "$scripts/vantor-udr-drop.sql" > "$scratch/out" && ok=1 || ok=0
check "failing drop: exit status not 0" same "$ok" 0
# Back to legacy, then a foreign BLOB2SO in place of vantor's.
run "$db" "$scripts/vantor.sql" > "$scratch/out" || true
sqlfile dropblob2so > /dev/null <<'EOF'
drop function BLOB2SO;
commit;
EOF
run "$db" "$scratch/dropblob2so.sql" > "$scratch/out" || true
run "$db" "$foreign" > "$scratch/out" || true
before=$(fingerprint)
run "$db" "$scripts/vantor-udr.sql" > "$scratch/out" && ok=1 || ok=0
after=$(fingerprint)
check "failing move: exits non-zero on a foreign BLOB2SO" same "$ok" 0
check "failing move: reports the foreign function" grep -q 'BLOB2SO' "$scratch/out"
check "failing move: the database is exactly as before (22 legacy, 3 stand-ins, 1 foreign)" same "$after" "$before"
before=$(fingerprint)
run "$db" "$scripts/vantor-drop.sql" > "$scratch/out" && ok=1 || ok=0
after=$(fingerprint)
check "failing drop: the database is exactly as before" same "$ok|$after" "0|$before"

# Cleaning up: the dependents go, then every function of vantor; the
# foreign one stays.
sqlfile nodependents > /dev/null <<'EOF'
drop view v; drop procedure p; drop table t; drop function BLOB2SO;
commit;
EOF
run "$db" "$scratch/nodependents.sql" > "$scratch/out" || cat "$scratch/out"
run "$db" "$scripts/vantor-drop.sql" > "$scratch/out" && ok=1 || ok=0
check "drop: vantor-drop.sql leaves no function and no helper" same "$ok $(summary "$db")" "1 "

if [ $debian13 -eq 1 ]; then
  # 5. Removal from the root: nothing of vantor is left there.
  trixie_stop
  trixie_remove_vantor > "$scratch/dpkg.log" 2>&1 || cat "$scratch/dpkg.log"
  installed=0
  left=$( { for f in "${TRIXIE_VANTOR_FILES[@]}"; do ls -d "$TRIXIE_DIR$f" 2>/dev/null || true; done
            ls -d "$TRIXIE_DIR/usr/share/vantor" "$TRIXIE_DIR"/usr/share/doc/firebird4.0-vantor* \
              "$TRIXIE_DIR/usr/share/doc/vantor-common" "$TRIXIE_DIR/usr/sbin/vantor-install" 2>/dev/null || true
            chroot "$TRIXIE_DIR" dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' 'firebird4.0-vantor*' \
              vantor-common 2>/dev/null \
              | grep -v 'not-installed$' || true; } )
  check "removal: nothing of vantor is left in the Debian 13 root (files, dpkg's records)" same "$left" ""
else
  # 5. Removal: the modules first (the scripts stay), then the scripts.
  stop_server
  dpkg -r firebird3.0-vantor:i386 firebird3.0-vantor:amd64 > "$scratch/dpkg.log" 2>&1 || cat "$scratch/dpkg.log"
  check "removal: the modules say what a database still declaring them will meet" grep -q 'vantor-drop.sql' "$scratch/dpkg.log"
  check "removal: the drop scripts stay with the common package" test -f /usr/share/vantor/vantor-drop.sql
  dpkg -r vantor-common > "$scratch/dpkg.log" 2>&1 || cat "$scratch/dpkg.log"
  installed=0
  left=$( { ls -d /usr/lib/*/firebird/3.0/UDF/libvantor* /usr/lib/*/firebird/3.0/plugins/udr \
              /usr/share/vantor /usr/share/doc/firebird3.0-vantor* /usr/share/doc/vantor-common /usr/sbin/vantor-install 2>/dev/null || true; \
            dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' 'firebird3.0-vantor*' vantor-common 2>/dev/null | grep -v 'not-installed$' || true; } )
  check "removal: nothing of vantor is left (files, dpkg's records)" same "$left" ""
  check "/etc/firebird is unchanged" same "$(cd /etc && find firebird -type f -exec md5sum {} + | sort)" "$etc_before"
fi

checked servertest
