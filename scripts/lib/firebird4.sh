# Sourced by the setup and engine scripts: the Firebird 4.0 engine (Debian 13's packages) for amd64 and for i386, each
# unpacked with dpkg -x into a folder of its own (nothing in dpkg's database or /etc), run through its own loader.
#   fb4_use amd64|i386  chooses the engine the variables describe (amd64 first)
#   FB4_ARCH, FB4_DIR   its Debian architecture, its folder
#   FB4_LIBS            its library folder, the only one its loader FB4_LOADER searches
#   FB4_BIN, FB4_ROOT   its programs (isql-fb, gbak); its root, with real copies
#                       of the configuration files the packages link into /etc
#   fb4_installed, fb4_install  is it there; fetch and unpack it, once
#   unpack_packages DEST APT_OPTION... -- PACKAGE...  the packages, from apt-get
#                       download, unpacked into a fresh DEST
. "$(dirname "${BASH_SOURCE[0]}")/platform.sh"
# The engine, its tools, the client and ib_util, the 4.0 headers, and every library they load (the closure of their
# dependencies, less the shells, perl and documentation that only the packages' scripts use).
FB4_PACKAGES=(
  firebird4.0-server-core firebird4.0-utils firebird4.0-common libfbclient2 libib-util firebird-dev
  libc6 libstdc++6 libgcc-s1 libicu76 libre2-11 libabsl20240722 libtomcrypt1 libtommath1
  libedit2 libbsd0 libmd0 libtinfo6 libncursesw6 zlib1g libgmp10
)
fb4_use() {
  local triplet loader
  case "$1" in
    amd64) FB4_DIR=${VANTOR_FB4_DIR:-/opt/vantor/firebird4.0} triplet=x86_64-linux-gnu loader=ld-linux-x86-64.so.2 ;;
    i386) FB4_DIR=${VANTOR_FB4_I386_DIR:-/opt/vantor/firebird4.0-i386} triplet=i386-linux-gnu loader=ld-linux.so.2 ;;
    *) echo "firebird4: no engine for architecture $1" >&2; return 2 ;;
  esac
  FB4_ARCH=$1
  FB4_LIBS="$FB4_DIR/usr/lib/$triplet"
  FB4_LOADER="$FB4_LIBS/$loader"
  FB4_ROOT="$FB4_LIBS/firebird/4.0"
  FB4_BIN="$FB4_DIR/usr/lib/firebird/4.0/bin"
}
fb4_use amd64

unpack_packages() {
  local dest=$1 options=() debs deb
  shift
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  # apt's own user writes the downloads.
  debs=$(mktemp -d) && chmod 755 "$debs" || return 1
  (cd "$debs" && apt-get "${options[@]}" download "$@" >/dev/null 2>&1) || { rm -rf "$debs"; return 1; }
  rm -rf "$dest"
  mkdir -p "$dest"
  for deb in "$debs"/*.deb; do dpkg -x "$deb" "$dest"; done
  rm -rf "$debs"
}

fb4_installed() {
  [ "$(cat "$FB4_DIR/.vantor-installed" 2>/dev/null)" = "${FB4_PACKAGES[*]}" ] \
    && [ -x "$FB4_BIN/isql-fb" ] && [ -f "$FB4_ROOT/firebird.conf" ] && [ ! -L "$FB4_ROOT/firebird.conf" ]
}

fb4_install() {
  fb4_installed && return 0
  local work mirror fetched="" etc="$FB4_DIR/etc/firebird/4.0"
  echo "setup: fetching the Firebird 4.0 engine ($FB4_ARCH) into $FB4_DIR" >&2
  mirror=$(debian_mirror) || return 1
  work=$(mktemp -d)
  chmod 755 "$work"
  mkdir -p "$work/sources" "$work/lists/partial" "$work/cache/archives/partial"
  printf 'Types: deb\nURIs: %s\nSuites: trixie\nComponents: main\nArchitectures: %s\nSigned-By: %s\n' \
    "$mirror" "$FB4_ARCH" /usr/share/keyrings/debian-archive-keyring.gpg > "$work/sources/trixie.sources"
  local apt=(-q -o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$work/sources"
    -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o Dir::State::status=/dev/null
    -o APT::Architecture="$FB4_ARCH" -o APT::Architectures="$FB4_ARCH" -o Debug::NoLocking=1)
  apt-get "${apt[@]}" update >/dev/null && unpack_packages "$FB4_DIR" "${apt[@]}" -- "${FB4_PACKAGES[@]}" \
    || fetched=no
  rm -rf "$work"
  [ -z "$fetched" ] || { echo "setup: fetching the Firebird 4.0 packages ($FB4_ARCH) from $mirror failed" >&2; return 1; }
  # Real copies of the packages' defaults, and a firebird.conf that lets legacy UDFs load from nowhere: the engine
  # scripts make roots over this one.
  rm -f "$FB4_ROOT/firebird.conf" "$FB4_ROOT/plugins.conf" "$FB4_ROOT/intl/fbintl.conf" "$FB4_ROOT/service-port.conf"
  cp "$etc/plugins.conf" "$FB4_ROOT/plugins.conf"
  cp "$etc/fbintl.conf" "$FB4_ROOT/intl/fbintl.conf"
  echo 'UdfAccess = None' > "$FB4_ROOT/firebird.conf"
  [ -x "$FB4_BIN/isql-fb" ] || { echo "setup: $FB4_BIN/isql-fb missing after unpacking" >&2; return 1; }
  # The tools must run through the folder's own loader and libraries.
  if ! FIREBIRD=$FB4_ROOT FIREBIRD_MSG=$FB4_ROOT "$FB4_LOADER" --library-path "$FB4_LIBS" "$FB4_BIN/isql-fb" -z -q \
       </dev/null 2>&1 | grep -q 'V4\.0'; then
    echo "setup: the Firebird 4.0 tools do not run from $FB4_DIR" >&2
    return 1
  fi
  echo "${FB4_PACKAGES[*]}" > "$FB4_DIR/.vantor-installed"
  echo "setup: Firebird 4.0 engine in $FB4_DIR" >&2
}
