# Sourced by the engine scripts: private Firebird roots, and servers run from them.
#
# make_fbroot ROOT SYSTEM_ROOT SKIP...: a root of symlinks to every entry of the system root but firebird.conf, intl and
# SKIP, which the caller writes. The character-set module must be a real file in the root, or every non-built-in
# character set (WIN1250 among them) reports "not installed".
make_fbroot() {
  local fbroot=$1 system_root=$2 entry
  shift 2
  mkdir -p "$fbroot/intl"
  for entry in "$system_root"/*; do
    case " firebird.conf intl $* " in *" ${entry##*/} "*) continue ;; esac
    ln -sfn "$entry" "$fbroot/${entry##*/}"
  done
  cp "$system_root/intl/libfbintl.so" "$fbroot/intl/libfbintl.so"
  ln -sfn "$system_root/intl/fbintl.conf" "$fbroot/intl/fbintl.conf"
}
# make_udr_root ROOT SYSTEM_ROOT: make_fbroot with plugins of its own, copies (Firebird 4.0 loads a plugin only by its
# real path), and the UDR folder plugins/udr, which the root's plugins.conf names as the UDR engine's path.
make_udr_root() {
  make_fbroot "$1" "$2" plugins plugins.conf
  mkdir -p "$1/plugins/udr"
  for plugin in "$2"/plugins/*; do [ -d "$plugin" ] || cp --remove-destination -L "$plugin" "$1/plugins/"; done
  printf 'Plugin = UDR {\n\tModule = $(dir_plugins)/udr_engine\n\tConfig = UDR_config\n}\n\n%b\n' \
    'Config = UDR_config {\n\tpath = $(root)/plugins/udr\n}' > "$1/plugins.conf"
}
# free_port FROM TO: the first port of the range that nothing listens on.
free_port() {
  local candidate
  for candidate in $(seq "$1" "$2"); do
    ss -ltn "( sport = :$candidate )" | grep -q LISTEN || { echo "$candidate"; return 0; }
  done
  return 1
}
# start_server ROOT SCRATCH PASSWORD UDF_FOLDER: the i386 3.0 server from ROOT on a free loopback port (server_port; set
# in firebird.conf over the lines it comments out), UDFs from UDF_FOLDER alone (its real path: the engine compares
# that), its security database a copy of the system's with SYSDBA's PASSWORD and no remote access, lock and temporary
# files in SCRATCH. Sets server_pid for stop_server.
start_server() {
  local fbroot=$1 scratch=$2 password=$3
  server_port=$(free_port 32000 32999) || { echo "no free port" >&2; return 1; }
  touch "$fbroot/firebird.conf"
  sed -i -E 's/^\s*(UdfAccess|RemoteServicePort|RemoteBindAddress|IpcName)\s*=/# &/' "$fbroot/firebird.conf"
  printf 'UdfAccess = Restrict %s\nRemoteServicePort = %s\nRemoteBindAddress = 127.0.0.1\nIpcName = vantor_%s\n' \
    "$4" "$server_port" "$server_port" >> "$fbroot/firebird.conf"
  mkdir -p "$scratch/lock"
  cp /var/lib/firebird/3.0/system/security3.fdb "$scratch/security3.fdb"
  printf 'security.db = %s/security3.fdb\n{\n  RemoteAccess = false\n}\n' "$scratch" > "$fbroot/databases.conf"
  printf "connect '%s/security3.fdb' user 'SYSDBA';\ncreate or alter user SYSDBA password '%s' using plugin Srp;\ncommit;\n" \
    "$scratch" "$password" > "$scratch/user.sql"
  FIREBIRD="$fbroot" FIREBIRD_LOCK="$scratch/lock" FIREBIRD_TMP="$scratch" isql-fb -q -b -i "$scratch/user.sql" || return 1
  FIREBIRD="$fbroot" FIREBIRD_LOCK="$scratch/lock" FIREBIRD_TMP="$scratch" /usr/sbin/firebird > "$scratch/server.log" 2>&1 &
  server_pid=$!
  await_listening "$server_port" "$scratch/server.log" "the server"
}
stop_server() {
  end_server "${server_pid:-}"
  server_pid=""
}
# await_listening PORT LOG WHAT: waits up to ten seconds for a server to listen on PORT; if none does, prints LOG and
# says that WHAT did not start.
await_listening() {
  for _ in $(seq 100); do ss -ltn "( sport = :$1 )" | grep -q LISTEN && return 0; sleep 0.1; done
  cat "$2" >&2
  echo "$3 did not start" >&2
  return 1
}
# end_server PID: a server may linger in its shutdown: five seconds after SIGTERM, then SIGKILL.
end_server() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
