# Sourced by the scripts: what they need to know of a build and of this
# machine, found out in one place.
#
#   elf_flavour FILE       prints the flavour a shared object was built for:
#                          i386 (ELF32) or x86_64 (ELF64)
#   i386_emulated          true where the kernel runs no i386 program itself
#                          and setup.sh has handed them to QEMU's emulator
#   write_udr_plugins_conf FILE
#                          writes a plugins.conf whose UDR engine loads its
#                          modules from the root's plugins/udr folder
#   debian_mirror          prints the Debian mirror this machine's apt
#                          sources name; fails, saying so, where they name
#                          none

elf_flavour() {
  if readelf -h "$1" | grep -q 'Class:.*ELF64'; then echo x86_64; else echo i386; fi
}

i386_emulated() {
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]
}

write_udr_plugins_conf() {
  cat > "$1" <<'CONF'
Plugin = UDR {
	Module = $(dir_plugins)/udr_engine
	Config = UDR_config
}

Config = UDR_config {
	path = $(root)/plugins/udr
}
CONF
}

# The mirror is the first URI of the first enabled "deb" source of a base
# suite (one without a "-": bookworm, not bookworm-security), in the order
# apt reads them: /etc/apt/sources.list and sources.list.d/*.list (one line
# per source) and sources.list.d/*.sources (deb822 stanzas). The scripts
# that fetch Debian 13's packages take it with trixie as the suite, so no
# mirror is named anywhere but in the machine's own apt sources.
debian_mirror() {
  local file mirror=""
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    case "$file" in
      *.sources)
        mirror=$(awk '
          function stanza_end() {
            if (!found && enabled && deb && base && uri != "") { print uri; found = 1 }
            enabled = 1; deb = 0; base = 0; uri = ""
          }
          BEGIN { enabled = 1 }
          /^#/ { next }
          /^[ \t]*$/ { stanza_end(); next }
          { field = tolower($1) }
          field == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
          field == "enabled:" { enabled = (tolower($2) != "no") }
          field == "uris:" { uri = $2 }
          field == "suites:" { for (i = 2; i <= NF; i++) if ($i !~ /-/) base = 1 }
          END { stanza_end() }' "$file") ;;
      *)
        # deb [options] URI SUITE COMPONENTS...
        mirror=$(sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" \
                   | awk '$1 == "deb" && $3 !~ /-/ && $2 != "" { print $2; exit }') ;;
    esac
    mirror=${mirror%%$'\n'*}
    if [ -n "$mirror" ]; then
      echo "${mirror%/}"
      return 0
    fi
  done
  echo "no Debian mirror in this machine's apt sources (/etc/apt/sources.list," \
       "/etc/apt/sources.list.d/*.list or *.sources): add the one to use there" >&2
  return 1
}
