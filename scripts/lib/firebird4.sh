# Sourced by the setup and engine scripts: the Firebird 4.0 engine (Debian
# 13's packages), one for amd64 and one for i386, each kept in a folder of its
# own and run through that folder's own loader and libraries. Nothing of it
# goes into dpkg's database or /etc: the packages are fetched with apt-get
# download through a private sources list and private state folders, and
# unpacked with dpkg -x.
#
#   fb4_use amd64|i386 chooses the engine the variables below describe
#               (amd64 when this file is sourced)
#   FB4_ARCH    that engine's Debian architecture
#   FB4_DIR     the unpacked packages (a private file-system tree)
#   FB4_LIBS    its library folder, the only one its loader searches
#   FB4_ROOT    the engine's root: the packaged root with real copies of the
#               configuration files the packages link into /etc
#   FB4_INCLUDE the 4.0 interface headers (firebird-dev)
#   fb4_exec PROGRAM ARGS...   runs a program of the engine (isql-fb, gbak)
#                              through the folder's loader
#   fb4_install                fetches and unpacks the chosen one, once
# The engine, its tools, the client and ib_util, the 4.0 headers, and every
# library they load (the closure of their dependencies, less the shells,
# perl and documentation that only the packages' scripts use).
FB4_PACKAGES=(
  firebird4.0-server-core firebird4.0-utils firebird4.0-common libfbclient2 libib-util firebird-dev
  libc6 libstdc++6 libgcc-s1 libicu76 libre2-11 libabsl20240722 libtomcrypt1 libtommath1
  libedit2 libbsd0 libmd0 libtinfo6 libncursesw6 zlib1g libgmp10
)
# The mirror to fetch from: debian_mirror.
. "$(dirname "${BASH_SOURCE[0]}")/platform.sh"
fb4_use() {
  FB4_ARCH=$1
  case "$FB4_ARCH" in
    amd64)
      FB4_DIR=${VANTOR_FB4_DIR:-/opt/vantor/firebird4.0}
      FB4_LIBS="$FB4_DIR/usr/lib/x86_64-linux-gnu"
      FB4_LOADER="$FB4_LIBS/ld-linux-x86-64.so.2" ;;
    i386)
      FB4_DIR=${VANTOR_FB4_I386_DIR:-/opt/vantor/firebird4.0-i386}
      FB4_LIBS="$FB4_DIR/usr/lib/i386-linux-gnu"
      FB4_LOADER="$FB4_LIBS/ld-linux.so.2" ;;
    *) echo "firebird4: no engine for architecture $FB4_ARCH" >&2; return 2 ;;
  esac
  FB4_ROOT="$FB4_LIBS/firebird/4.0"
  FB4_BIN="$FB4_DIR/usr/lib/firebird/4.0/bin"
  FB4_INCLUDE="$FB4_DIR/usr/include"
  FB4_STAMP="$FB4_DIR/.vantor-installed"
}
fb4_use amd64

fb4_exec() {
  local program=$1
  shift
  FIREBIRD=${FIREBIRD:-$FB4_ROOT} FIREBIRD_MSG=${FIREBIRD_MSG:-$FB4_ROOT} \
    "$FB4_LOADER" --library-path "$FB4_LIBS" "$FB4_BIN/$program" "$@"
}

fb4_installed() {
  [ -f "$FB4_STAMP" ] && [ "$(cat "$FB4_STAMP")" = "${FB4_PACKAGES[*]}" ] \
    && [ -x "$FB4_BIN/isql-fb" ] && [ -f "$FB4_ROOT/firebird.conf" ] && [ ! -L "$FB4_ROOT/firebird.conf" ]
}

fb4_install() {
  fb4_installed && return 0
  local sudo="" work mirror
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "setup: fetching the Firebird 4.0 engine ($FB4_ARCH) into $FB4_DIR" >&2
  # The machine's own Debian mirror, with trixie as the suite.
  mirror=$(debian_mirror) || return 1
  work=$(mktemp -d)
  chmod 755 "$work"
  mkdir -p "$work/sources" "$work/lists/partial" "$work/cache/archives/partial" "$work/debs"
  cat > "$work/sources/trixie.sources" <<EOF
Types: deb
URIs: $mirror
Suites: trixie
Components: main
Architectures: $FB4_ARCH
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  local apt_options=(-q -o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$work/sources"
    -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o Dir::State::status=/dev/null
    -o APT::Architecture=$FB4_ARCH -o APT::Architectures=$FB4_ARCH -o Debug::NoLocking=1)
  if ! apt-get "${apt_options[@]}" update >/dev/null \
     || ! (cd "$work/debs" && apt-get "${apt_options[@]}" download "${FB4_PACKAGES[@]}" >/dev/null 2>&1); then
    rm -rf "$work"
    echo "setup: fetching the Firebird 4.0 packages ($FB4_ARCH) from $mirror failed" >&2
    return 1
  fi
  $sudo rm -rf "$FB4_DIR"
  $sudo mkdir -p "$FB4_DIR"
  local deb
  for deb in "$work"/debs/*.deb; do $sudo dpkg -x "$deb" "$FB4_DIR"; done
  rm -rf "$work"
  # The packaged root links its configuration into /etc: the root gets real
  # copies instead (the packages' defaults, unpacked beside it), and a
  # firebird.conf of its own that lets legacy UDFs load from nowhere; the
  # engine scripts make roots of their own over this one for a build folder.
  local etc="$FB4_DIR/etc/firebird/4.0"
  $sudo rm -f "$FB4_ROOT/firebird.conf" "$FB4_ROOT/plugins.conf" "$FB4_ROOT/intl/fbintl.conf" \
    "$FB4_ROOT/service-port.conf"
  $sudo cp "$etc/plugins.conf" "$FB4_ROOT/plugins.conf"
  $sudo cp "$etc/fbintl.conf" "$FB4_ROOT/intl/fbintl.conf"
  printf 'UdfAccess = None\n' | $sudo tee "$FB4_ROOT/firebird.conf" >/dev/null
  # The 4.0 programs in the root's bin folder are links to a wrapper script;
  # the binaries themselves are in usr/lib/firebird/4.0/bin.
  [ -x "$FB4_BIN/isql-fb" ] || { echo "setup: $FB4_BIN/isql-fb missing after unpacking" >&2; return 1; }
  echo "${FB4_PACKAGES[*]}" | $sudo tee "$FB4_STAMP" >/dev/null
  # The tools must run through the folder's own loader and libraries.
  if ! fb4_exec isql-fb -z -q </dev/null 2>&1 | grep -q 'V4\.0'; then
    echo "setup: the Firebird 4.0 tools do not run from $FB4_DIR" >&2
    $sudo rm -f "$FB4_STAMP"
    return 1
  fi
  echo "setup: Firebird 4.0 engine in $FB4_DIR" >&2
}
