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
