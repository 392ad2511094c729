#!/usr/bin/env bash
# Runs SQL files in an embedded Firebird engine against a scratch database
# that has libvantor.so declared, and prints the session's output. The
# engine is a choice:
#   --engine fb3  Firebird 3.0 (the default): the i386 engine for an i386
#                 build, the amd64 one for an x86-64 build (chosen by the
#                 library's ELF class);
#   --engine fb4  Firebird 4.0 (Debian 13's, scripts/lib/firebird4.sh): the
#                 i386 engine for an i386 build, the amd64 one for an x86-64
#                 build. Its programs run through the private folder's own
#                 loader and libraries.
#
#   scripts/fbrun.sh [--engine fb3|fb4] [--build DIR] [--keep DIR] [--setup PROGRAM] [--udr] [--udr-texts N]
#                    [--charset CS] [--database DB] FILE.sql...
#
# --charset makes the scratch database's default character set CS (WIN1250
# by default); the session's character set stays WIN1250, so outputs compare.
#
# --udr declares the UDR module libvantor_udr.so of the build folder
# (sql/vantor-udr.sql) instead of the legacy one, and the legacy functions
# beside it under the prefix LEGACY_, so that a test can compare the two.
# --udr-texts N declares its texts and masks N bytes long (the script's
# VANTOR_TEXT_BYTES and VANTOR_MASK_BYTES) instead of the shipped lengths.
#
# --keep DIR keeps the scratch folder (databases, lock files) in DIR, with
# engine.env: the engine's root, isql and gbak, for a later session on them.
#
# --database DB runs the files in the existing database DB as it is: nothing
# is created or declared (with --udr, the engine has the UDR module too).
#
# --setup runs PROGRAM with the scratch database's path as its argument, after
# the library is declared and before the SQL file, in the same engine
# environment (a client of the embedded engine, e.g. one that writes BLOBs).
# A program that is a script gets VANTOR_CLIENT_EXEC, the command prefix that
# runs a client program against the chosen engine.
#
# Hermetic: the engine runs in this process tree from a private Firebird root
# (build/<flavour>/fbroot, fbroot-fb4...) whose firebird.conf allows UDFs from
# the build folder only; lock and temporary files stay in a scratch folder;
# nothing in /etc is read for the engine's configuration or changed. The
# engine's tools are exported as VANTOR_ISQL and VANTOR_GBAK, and the build
# folder as VANTOR_BUILD, for scripts that SQL files call.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/fbroot.sh"
. "$root/scripts/lib/firebird4.sh"
. "$root/scripts/lib/platform.sh"
builddir="$root/build/i386"
engine=fb3
keep=""
setup=""
udr=0
udr_texts=""
charset=WIN1250
database=""
while [ $# -gt 0 ]; do
  case "$1" in
    --engine) engine=$2; shift 2 ;;
    --build) builddir=$(cd "$2" && pwd); shift 2 ;;
    --keep) keep="$2"; shift 2 ;;
    --setup) setup="$2"; shift 2 ;;
    --udr) udr=1; shift ;;
    --udr-texts) udr_texts=$2; shift 2 ;;
    --charset) charset=$2; shift 2 ;;
    --database) database=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--engine fb3|fb4] [--build DIR] [--keep DIR] [--setup PROGRAM] [--udr] [--udr-texts N] [--charset CS] [--database DB] FILE.sql..." >&2; exit 2; }
[ $udr -eq 0 ] || [ -f "$builddir/libvantor_udr.so" ] || { echo "fbrun: $builddir/libvantor_udr.so is not built" >&2; exit 2; }
[ -z "$setup" ] || [ -x "$setup" ] || { echo "fbrun: setup program $setup is not built" >&2; exit 2; }
[ -f "$builddir/libvantor.so" ] || { echo "fbrun: $builddir/libvantor.so is not built" >&2; exit 2; }

elf64=0
[ "$(elf_flavour "$builddir/libvantor.so")" = i386 ] || elf64=1
client_exec=""
plugin_copy=0
case "$engine" in
  fb3)
    if [ $elf64 -eq 1 ]; then
      system_root=/usr/lib/x86_64-linux-gnu/firebird/3.0
      tools=/opt/vantor/firebird3.0-utils-amd64/usr/bin
    else
      system_root=/usr/lib/i386-linux-gnu/firebird/3.0
      tools=/usr/bin
    fi
    fbroot="$builddir/fbroot"
    ;;
  fb4)
    if [ $elf64 -eq 1 ]; then fb4_use amd64; else fb4_use i386; fi
    fb4_installed || { echo "fbrun: Firebird 4.0 ($FB4_ARCH) is not installed in $FB4_DIR (scripts/setup.sh)" >&2; exit 2; }
    system_root=$FB4_ROOT
    fbroot="$builddir/fbroot-fb4"
    # The tools run through the folder's loader; small wrappers give scripts
    # a plain command to call.
    tools="$builddir/fb4-tools"
    mkdir -p "$tools"
    for tool in isql-fb gbak; do
      printf '#!/bin/sh\nexec "%s" --library-path "%s" "%s" "$@"\n' "$FB4_LOADER" "$FB4_LIBS" "$FB4_BIN/$tool" \
        > "$tools/$tool"
      chmod +x "$tools/$tool"
    done
    client_exec="$FB4_LOADER --library-path $FB4_LIBS"
    # Firebird 4.0 refuses a plugin whose real path is not the one it asked
    # for, so its roots hold copies of the plugins, not links.
    plugin_copy=1
    ;;
  *) echo "fbrun: unknown engine $engine (fb3 or fb4)" >&2; exit 2 ;;
esac
# The engine's own tools, for this run and for scripts that SQL files call.
export VANTOR_ISQL="$tools/isql-fb" VANTOR_GBAK="$tools/gbak" VANTOR_CLIENT_EXEC="$client_exec" VANTOR_BUILD="$builddir"
isql=$VANTOR_ISQL
# Runs side by side (ctest -j) make a root once, one at a time.
exec 9> "$builddir/.fbroot.lock"
flock 9
if [ $udr -eq 1 ]; then
  # The engine's plugin folder is the root's, so this root has its own: the
  # engine's plugins, and a udr folder holding the module, which the root's
  # own plugins.conf names as the UDR engine's path.
  fbroot="$fbroot-udr"
  if [ ! -f "$fbroot/plugins.conf" ] || [ ! -f "$fbroot/intl/libfbintl.so" ]; then
    make_fbroot "$fbroot" "$system_root" plugins plugins.conf
    mkdir -p "$fbroot/plugins/udr"
    for entry in "$system_root"/plugins/*; do
      [ "$(basename "$entry")" != udr ] || continue
      if [ $plugin_copy -eq 1 ]; then cp "$entry" "$fbroot/plugins/"; else ln -sfn "$entry" "$fbroot/plugins/$(basename "$entry")"; fi
    done
    printf 'UdfAccess = Restrict %s\n' "$builddir" > "$fbroot/firebird.conf"
    write_udr_plugins_conf "$fbroot/plugins.conf"
  fi
  # A copy, not a link: the UDR engine refuses an entry point whose file
  # name differs from the name it loaded the module by. A changed module is
  # copied beside and renamed over the old one, so that an engine of another
  # run that has the old one loaded keeps its file (writing over a loaded
  # module's file crashes that engine).
  install_module() {
    local from=$1 to="$fbroot/plugins/udr/$(basename "$1")"
    cmp -s "$from" "$to" && return 0
    cp "$from" "$to.$$"
    mv -f "$to.$$" "$to"
  }
  install_module "$builddir/libvantor_udr.so"
  # The benchmark's UDR floor, where the build has it.
  [ ! -f "$builddir/libvantor_floor_udr.so" ] || install_module "$builddir/libvantor_floor_udr.so"
elif [ ! -f "$fbroot/firebird.conf" ] || [ ! -f "$fbroot/intl/libfbintl.so" ]; then
  if [ $plugin_copy -eq 1 ]; then
    make_fbroot "$fbroot" "$system_root" plugins
    mkdir -p "$fbroot/plugins"
    cp "$system_root"/plugins/*.so "$fbroot/plugins/"
  else
    make_fbroot "$fbroot" "$system_root"
  fi
  printf 'UdfAccess = Restrict %s\n' "$builddir" > "$fbroot/firebird.conf"
fi
flock -u 9
exec 9>&-

if [ -n "$keep" ]; then scratch=$keep; mkdir -p "$scratch"; else scratch=$(mktemp -d); fi
cleanup() { [ -n "$keep" ] || rm -rf "$scratch"; }
trap cleanup EXIT
export FIREBIRD="$fbroot" FIREBIRD_MSG="$fbroot" FIREBIRD_LOCK="$scratch/lock" FIREBIRD_TMP="$scratch"
export ISC_USER=SYSDBA
mkdir -p "$FIREBIRD_LOCK"
# A kept scratch folder records the engine it ran, so that a later session
# (the engine benchmark's timing) opens the same database the same way.
[ -z "$keep" ] || printf 'FIREBIRD=%q\nFIREBIRD_MSG=%q\nVANTOR_ISQL=%q\nVANTOR_GBAK=%q\n' "$fbroot" "$fbroot" "$isql" "$VANTOR_GBAK" \
  > "$scratch/engine.env"

status=0
for file in "$@"; do
  if [ -n "$database" ]; then
    "$isql" -q -e -ch WIN1250 -i "$file" "$database" -user SYSDBA 2>&1 || status=$?
    continue
  fi
  db="$scratch/$(basename "$file" .sql).fdb"
  rm -f "$db"
  {
    echo "create database '$db' user 'SYSDBA' default character set $charset;"
    python3 "$root/tests/tools/sqlrun.py" --declarations --charset "$charset" ${udr_texts:+--udr-texts "$udr_texts"} \
      $([ $udr -eq 0 ] || echo --udr)
    echo "commit;"
  } > "$scratch/install.sql"
  if ! "$isql" -q -ch WIN1250 -b -i "$scratch/install.sql" > "$scratch/install.out" 2>&1; then
    cat "$scratch/install.out" >&2
    echo "fbrun: declaring the library failed" >&2
    exit 1
  fi
  # A compiled client runs against the chosen engine's client library.
  run_setup=("$setup")
  if [ -n "$setup" ] && [ -n "$client_exec" ] && head -c 4 "$setup" | grep -q 'ELF'; then run_setup=($client_exec "$setup"); fi
  if [ -n "$setup" ] && ! "${run_setup[@]}" "$db" >&2; then
    echo "fbrun: setup $setup failed" >&2
    exit 1
  fi
  "$isql" -q -e -ch WIN1250 -i "$file" "$db" -user SYSDBA 2>&1 || status=$?
done
exit $status
