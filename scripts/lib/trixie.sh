# Sourced by the server tests: Debian 13's own Firebird 4.0 server, in a root of its own (TRIXIE_DIR) made once per
# machine (trixie_make, as root), run by hand as user firebird on a loopback port and reached over TCP from outside with
# the root's own isql-fb, gbak and gfix.
#   trixie_serve SCRATCH DBDIR [shipped]  under the root's lock, the x86-64
#                                build's 4.0 packages installed, the server on
#                                TRIXIE_PORT (trixie_start), the tools in
#                                SCRATCH/tools, DBDIR made for its databases
#   trixie_unserve               undoes trixie_serve
#   trixie_remove_vantor         takes vantor's packages out again
#   trixie_start PORT SCRATCH [shipped]  starts the server (log in SCRATCH);
#                                shipped: with Debian's firebird.conf
#                                (UdfAccess = None); trixie_stop ends it
#   TRIXIE_PASSWORD              SYSDBA's password in that server
. "$(dirname "${BASH_SOURCE[0]}")/fbroot.sh"
. "$(dirname "${BASH_SOURCE[0]}")/platform.sh"
TRIXIE_DIR=${VANTOR_TRIXIE_DIR:-/opt/vantor/trixie-fb4}
TRIXIE_FB=/usr/lib/x86_64-linux-gnu/firebird/4.0
TRIXIE_PASSWORD=vantor4
# ib_util: the legacy module needs it, Debian 13's server does not pull it in.
TRIXIE_PACKAGES=(firebird4.0-server libib-util)

trixie_before() {
  echo "firebird4.0-server shared/firebird/sysdba_password/first_install password $TRIXIE_PASSWORD" \
    | chroot "$1" debconf-set-selections
}
# The legacy module's folder, relative to the server's root.
trixie_after() { printf '\nUdfAccess = Restrict UDF\n' >> "$1/etc/firebird/4.0/firebird.conf"; }
trixie_make() {
  debian13_make "$TRIXIE_DIR" "minbase trixie ${TRIXIE_PACKAGES[*]} password=$TRIXIE_PASSWORD UdfAccess=Restrict-UDF" \
    trixie_before trixie_after "${TRIXIE_PACKAGES[@]}"
}

# What the 4.0 packages install (vantor-common, firebird4.0-vantor).
TRIXIE_VANTOR_FILES=("$TRIXIE_FB/plugins/udr/libvantor_udr.so" "$TRIXIE_FB/UDF/libvantor.so"
  /usr/share/vantor/vantor.sql /usr/share/vantor/vantor-udr.sql /usr/share/vantor/vantor-drop.sql
  /usr/share/vantor/vantor-udr-drop.sql)
trixie_remove_vantor() {
  local packages file
  packages=$(chroot "$TRIXIE_DIR" dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' 'firebird4.0-vantor*' vantor-common \
             2>/dev/null | awk '$1 == "ii" { print $2 }') || packages=""
  [ -z "$packages" ] || chroot "$TRIXIE_DIR" dpkg -r $packages > /dev/null || return 1
  for file in "${TRIXIE_VANTOR_FILES[@]}"; do rm -f "$TRIXIE_DIR$file"; done
  rmdir "$TRIXIE_DIR/usr/share/vantor" "$TRIXIE_DIR$TRIXIE_FB/UDF" 2>/dev/null || true
}

# The first setting of a parameter wins, and firebird.conf includes service-port.conf before its own RemoteBindAddress:
# the port and address go there. The time zone is UTC, as the SQL suite's time zone test wants (a shipped server takes
# the root's /etc/localtime, Etc/UTC, as the service does). The server program is run, not its wrapper, which sets
# FIREBIRD. A shipped server runs from a Firebird root of its own in /tmp. Firebird 4.0 loads a plugin only by its real
# path: that root holds copies of the plugins and character-set module; its plugins.conf names the packaged UDR folder.
trixie_start() {
  local port=$1 scratch=$2 fbroot=$TRIXIE_FB conf=/etc/firebird/4.0 zone=(TZ=UTC) entry own
  local etc=$TRIXIE_DIR/etc/firebird/4.0
  if [ "${3:-}" = shipped ]; then
    fbroot=/tmp/vantor-shipped-$port conf=/tmp/vantor-shipped-$port zone=() own=$TRIXIE_DIR/tmp/vantor-shipped-$port
    rm -rf "$own"
    mkdir -p "$own/plugins" "$own/intl"
    for entry in "$TRIXIE_DIR$TRIXIE_FB"/*; do
      case "${entry##*/}" in
        firebird.conf|service-port.conf|plugins|plugins.conf|intl) ;;
        *) ln -s "$TRIXIE_FB/${entry##*/}" "$own/" ;;
      esac
    done
    cp "$TRIXIE_DIR$TRIXIE_FB"/plugins/*.so "$own/plugins/"
    cp "$TRIXIE_DIR$TRIXIE_FB/intl/libfbintl.so" "$etc/fbintl.conf" "$own/intl/"
    sed "s|\$(dir_plugins)/udr\$|$TRIXIE_FB/plugins/udr|" "$etc/plugins.conf" > "$own/plugins.conf"
    { sed -E 's/^[[:space:]]*UdfAccess[[:space:]]*=/# &/' "$etc/firebird.conf"
      echo 'UdfAccess = None'; } > "$own/firebird.conf"
    chroot "$TRIXIE_DIR" chown -R firebird:firebird "$fbroot"
    trixie_shipped_root=$fbroot
  fi
  printf 'RemoteServicePort = %s\nRemoteBindAddress = 127.0.0.1\n' "$port" > "$TRIXIE_DIR$conf/service-port.conf"
  chroot --userspec=firebird:firebird "$TRIXIE_DIR" env -i PATH=/usr/sbin:/usr/bin:/bin "${zone[@]}" \
    FIREBIRD="$fbroot" FIREBIRD_VERSION=4.0 /usr/lib/firebird/4.0/bin/firebird > "$scratch/trixie-server.log" 2>&1 &
  trixie_pid=$!
  await_listening "$port" "$scratch/trixie-server.log" "the Debian 13 Firebird 4.0 server"
}
trixie_stop() {
  end_server "${trixie_pid:-}"
  trixie_pid=""
  [ -z "${trixie_shipped_root:-}" ] || rm -rf "${TRIXIE_DIR:?}$trixie_shipped_root"
  trixie_shipped_root=""
}

trixie_serve() {
  local source debs=$TRIXIE_DIR/tmp/vantor-debs dir=$1/tools tool
  source=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  mkdir -p "$(dirname "$TRIXIE_DIR")"
  exec 9> "$TRIXIE_DIR.lock"  # held until the caller exits
  flock 9
  trixie_served=$2
  trixie_make || { echo "no Debian 13 root" >&2; return 1; }
  bash "$source/scripts/package.sh" x86_64 > /dev/null || return 1
  rm -rf "$debs" && mkdir -p "$debs" "$dir"
  cp "$source"/build/x86_64/package/{vantor-common_*_all,firebird4.0-vantor_*_amd64}.deb "$debs/"
  chroot "$TRIXIE_DIR" sh -c 'dpkg -i /tmp/vantor-debs/*.deb' > "$1/dpkg.log" 2>&1 && rm -rf "$debs" \
    || { cat "$1/dpkg.log"; echo "installing vantor in the Debian 13 root failed" >&2; return 1; }
  TRIXIE_PORT=$(free_port 33000 34999) || { echo "no free port" >&2; return 1; }
  trixie_start "$TRIXIE_PORT" "$1" "${3:-}" || return 1
  chroot "$TRIXIE_DIR" install -d -o firebird -g firebird "$2"
  for tool in isql-fb gbak gfix; do
    printf '#!/bin/sh\nFIREBIRD="%s" FIREBIRD_MSG="%s" exec "%s" --library-path "%s" "%s" "$@"\n' \
      "$TRIXIE_DIR$TRIXIE_FB" "$TRIXIE_DIR$TRIXIE_FB" "$TRIXIE_DIR/usr/lib64/ld-linux-x86-64.so.2" \
      "$TRIXIE_DIR/usr/lib/x86_64-linux-gnu" "$TRIXIE_DIR/usr/lib/firebird/4.0/bin/$tool" > "$dir/$tool"
    chmod 755 "$dir/$tool"
  done
}
trixie_unserve() {
  trixie_stop
  [ -z "${trixie_served:-}" ] || { trixie_remove_vantor > /dev/null 2>&1; rm -rf "${TRIXIE_DIR:?}$trixie_served"; }
}
