# Sourced by the server tests: Debian 13 (trixie) with its own Firebird 4.0
# server, in a root of its own that debootstrap makes once per machine and
# that is kept (TRIXIE_DIR, keyed by a stamp of what it was made of). The
# server runs there by hand, as user firebird, on a loopback port; clients
# reach it over TCP from outside the root. Nothing of this machine's /etc is
# changed: the root's own /etc holds the server's configuration.
#
#   trixie_make                  makes the root, once (needs root, debootstrap
#                                and the Debian mirror this machine uses)
#   trixie_install_vantor BUILD  installs vantor for the 4.0 server in the root
#                                from the x86-64 build folder BUILD
#   trixie_remove_vantor         takes it out again
#   trixie_start PORT SCRATCH [shipped]
#                                starts the server on 127.0.0.1:PORT (log in
#                                SCRATCH); sets trixie_pid. With shipped, its
#                                firebird.conf is the one Debian ships
#                                (UdfAccess = None: no legacy UDF loads)
#   trixie_stop                  ends it
#   trixie_tools DIR             writes isql-fb, gbak and gfix into DIR: the
#                                root's own 4.0 client programs, run from
#                                outside it
#   TRIXIE_PASSWORD              SYSDBA's password in that server
# The server's start and stop: await_listening and end_server; the mirror:
# debian_mirror.
. "$(dirname "${BASH_SOURCE[0]}")/fbroot.sh"
. "$(dirname "${BASH_SOURCE[0]}")/platform.sh"
TRIXIE_DIR=${VANTOR_TRIXIE_DIR:-/opt/vantor/trixie-fb4}
TRIXIE_FB=/usr/lib/x86_64-linux-gnu/firebird/4.0
# The server, and ib_util, which the legacy module needs (the vantor
# packages depend on libib-util; Debian 13's server does not pull it in).
TRIXIE_PACKAGES=(firebird4.0-server libib-util)
TRIXIE_PASSWORD=vantor4
TRIXIE_RECIPE="minbase trixie ${TRIXIE_PACKAGES[*]} password=$TRIXIE_PASSWORD UdfAccess=Restrict-UDF"
TRIXIE_STAMP="$TRIXIE_DIR/.vantor-made"

trixie_made() { [ -f "$TRIXIE_STAMP" ] && [ "$(cat "$TRIXIE_STAMP")" = "$TRIXIE_RECIPE" ]; }

trixie_make() {
  trixie_made && return 0
  [ -x /usr/sbin/debootstrap ] || { echo "debootstrap is not installed (apt-get install debootstrap)" >&2; return 1; }
  local work="$TRIXIE_DIR.new" mirror
  mirror=$(debian_mirror) || return 1
  echo "making the Debian 13 root $TRIXIE_DIR (debootstrap from $mirror)" >&2
  rm -rf "$work"
  mkdir -p "$(dirname "$TRIXIE_DIR")"
  if ! /usr/sbin/debootstrap --variant=minbase trixie "$work" "$mirror" > "$work.log" 2>&1; then
    tail -n 20 "$work.log" >&2; echo "debootstrap of Debian 13 failed" >&2; return 1
  fi
  # No service starts while packages install; names resolve without a
  # network (a minbase root has no /etc/hosts, and the server binds by name).
  printf '#!/bin/sh\nexit 101\n' > "$work/usr/sbin/policy-rc.d"
  chmod 755 "$work/usr/sbin/policy-rc.d"
  printf '127.0.0.1\tlocalhost\n' > "$work/etc/hosts"
  echo "firebird4.0-server shared/firebird/sysdba_password/first_install password $TRIXIE_PASSWORD" \
    | chroot "$work" debconf-set-selections
  if ! chroot "$work" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
       "${TRIXIE_PACKAGES[@]}" >> "$work.log" 2>&1; then
    tail -n 20 "$work.log" >&2; echo "installing ${TRIXIE_PACKAGES[*]} in Debian 13 failed" >&2; return 1
  fi
  chroot "$work" apt-get clean
  # The legacy module's folder, relative to the server's root.
  printf '\nUdfAccess = Restrict UDF\n' >> "$work/etc/firebird/4.0/firebird.conf"
  echo "$TRIXIE_RECIPE" > "$work/.vantor-made"
  rm -rf "$TRIXIE_DIR" "$work.log"
  mv "$work" "$TRIXIE_DIR"
}

# What the 4.0 package installs. Where scripts/package.sh has made the 4.0
# packages of the build, they are installed with dpkg -i in the root;
# otherwise the same files are copied to the same places.
TRIXIE_VANTOR_FILES=("$TRIXIE_FB/plugins/udr/libvantor_udr.so" "$TRIXIE_FB/UDF/libvantor.so"
  /usr/share/vantor/vantor.sql /usr/share/vantor/vantor-udr.sql /usr/share/vantor/vantor-drop.sql
  /usr/share/vantor/vantor-udr-drop.sql)
trixie_packages() {  # trixie_packages BUILD: the 4.0 packages of the build, if made
  ls "$1"/package/vantor-common_*_all.deb "$1"/package/firebird4.0-vantor_*_amd64.deb 2>/dev/null
}
trixie_install_vantor() {
  local build=$1 debs deb
  debs=$(trixie_packages "$build") || debs=""
  if [ "$(echo "$debs" | grep -c .)" -eq 2 ]; then
    mkdir -p "$TRIXIE_DIR/tmp/vantor-debs"
    for deb in $debs; do cp "$deb" "$TRIXIE_DIR/tmp/vantor-debs/"; done
    chroot "$TRIXIE_DIR" sh -c 'dpkg -i /tmp/vantor-debs/*.deb' || return 1
    rm -rf "$TRIXIE_DIR/tmp/vantor-debs"
    return 0
  fi
  install -D -m 644 "$build/libvantor_udr.so" "$TRIXIE_DIR$TRIXIE_FB/plugins/udr/libvantor_udr.so"
  install -D -m 644 "$build/libvantor.so" "$TRIXIE_DIR$TRIXIE_FB/UDF/libvantor.so"
  local file
  for file in vantor.sql vantor-udr.sql vantor-drop.sql vantor-udr-drop.sql; do
    install -D -m 644 "$(dirname "${BASH_SOURCE[0]}")/../../sql/$file" "$TRIXIE_DIR/usr/share/vantor/$file"
  done
}
trixie_remove_vantor() {
  local packages
  packages=$(chroot "$TRIXIE_DIR" dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' 'firebird4.0-vantor*' vantor-common \
             2>/dev/null | awk '$1 == "ii" { print $2 }') || packages=""
  [ -z "$packages" ] || chroot "$TRIXIE_DIR" dpkg -r $packages > /dev/null || return 1
  local file
  for file in "${TRIXIE_VANTOR_FILES[@]}"; do rm -f "$TRIXIE_DIR$file"; done
  rmdir "$TRIXIE_DIR/usr/share/vantor" "$TRIXIE_DIR$TRIXIE_FB/UDF" 2>/dev/null || true
}

# The first setting of a parameter wins, and firebird.conf includes
# service-port.conf before its own RemoteBindAddress: the port and the
# address go there. The process time zone is UTC, as the SQL suite's time
# zone test wants it (a shipped server takes the root's /etc/localtime, as
# the service does: Etc/UTC, the same zone). The server program is started itself: its wrapper in
# /usr/sbin sets FIREBIRD to the packaged root.
#
# The root's firebird.conf allows the legacy module (UdfAccess = Restrict
# UDF). A shipped server runs from a root of its own in /tmp of the Debian
# 13 root instead, whose firebird.conf is that file with UdfAccess = None,
# as Debian ships it. Firebird 4.0 loads a plugin only by its real path, so
# that root holds copies of the engine's plugins and character-set module,
# and its plugins.conf names the packaged UDR folder, where the vantor
# package put its module.
trixie_start() {
  local port=$1 scratch=$2 fbroot=$TRIXIE_FB conf=/etc/firebird/4.0 entry zone=(TZ=UTC)
  if [ "${3:-}" = shipped ]; then
    fbroot=/tmp/vantor-shipped-$port conf=/tmp/vantor-shipped-$port zone=()
    rm -rf "$TRIXIE_DIR$fbroot"
    mkdir -p "$TRIXIE_DIR$fbroot/plugins"
    for entry in "$TRIXIE_DIR$TRIXIE_FB"/*; do
      case "${entry##*/}" in
        firebird.conf|service-port.conf|plugins|plugins.conf|intl) ;;
        *) ln -s "$TRIXIE_FB/${entry##*/}" "$TRIXIE_DIR$fbroot/" ;;
      esac
    done
    cp "$TRIXIE_DIR$TRIXIE_FB"/plugins/*.so "$TRIXIE_DIR$fbroot/plugins/"
    mkdir "$TRIXIE_DIR$fbroot/intl"
    cp "$TRIXIE_DIR$TRIXIE_FB/intl/libfbintl.so" "$TRIXIE_DIR$fbroot/intl/"
    cp "$TRIXIE_DIR/etc/firebird/4.0/fbintl.conf" "$TRIXIE_DIR$fbroot/intl/"
    sed "s|\$(dir_plugins)/udr\$|$TRIXIE_FB/plugins/udr|" "$TRIXIE_DIR/etc/firebird/4.0/plugins.conf" \
      > "$TRIXIE_DIR$fbroot/plugins.conf"
    { sed -E 's/^[[:space:]]*UdfAccess[[:space:]]*=/# &/' "$TRIXIE_DIR/etc/firebird/4.0/firebird.conf"
      echo 'UdfAccess = None'; } > "$TRIXIE_DIR$fbroot/firebird.conf"
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

trixie_tools() {
  local dir=$1 tool
  mkdir -p "$dir"
  for tool in isql-fb gbak gfix; do
    printf '#!/bin/sh\nFIREBIRD="%s" FIREBIRD_MSG="%s" exec "%s" --library-path "%s" "%s" "$@"\n' \
      "$TRIXIE_DIR$TRIXIE_FB" "$TRIXIE_DIR$TRIXIE_FB" "$TRIXIE_DIR/usr/lib64/ld-linux-x86-64.so.2" \
      "$TRIXIE_DIR/usr/lib/x86_64-linux-gnu" "$TRIXIE_DIR/usr/lib/firebird/4.0/bin/$tool" > "$dir/$tool"
    chmod 755 "$dir/$tool"
  done
}
