# Sourced by the engine scripts. make_fbroot ROOT SYSTEM_ROOT SKIP...
# builds a private Firebird root: a symlink to every entry of the system root
# except firebird.conf, intl and the names in SKIP, which the caller writes
# itself. The character-set module must be a real file in the root, or every
# non-built-in character set (WIN1250 among them) reports "not installed".
make_fbroot() {
  local fbroot=$1 system_root=$2 entry name
  shift 2
  mkdir -p "$fbroot/intl"
  for entry in "$system_root"/*; do
    name=$(basename "$entry")
    case " firebird.conf intl $* " in *" $name "*) continue ;; esac
    ln -sfn "$entry" "$fbroot/$name"
  done
  cp "$system_root/intl/libfbintl.so" "$fbroot/intl/libfbintl.so"
  ln -sfn "$system_root/intl/fbintl.conf" "$fbroot/intl/fbintl.conf"
}
