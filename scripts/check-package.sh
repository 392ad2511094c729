#!/usr/bin/env bash
# Builds a flavour's Debian packages (scripts/package.sh) and checks them: each module package holds only
# its architecture's and Firebird version's modules (of the right shape) and its copyright and changelog,
# the same in every architecture's package (Multi-Arch: same), and says when installed that its server is
# missing; vantor-common holds the scripts of sql/, vantor-install and the users' documentation alone;
# lintian reports no error and no warning.
#   scripts/check-package.sh i386|x86_64
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-}
case "$flavour" in
  i386) arch=i386 triplet=i386-linux-gnu ;;
  x86_64) arch=amd64 triplet=x86_64-linux-gnu ;;
  *) echo "usage: $0 i386|x86_64" >&2; exit 2 ;;
esac
fail() { echo "check-package: $*" >&2; exit 1; }
builddir="$root/build/$flavour"
bash "$root/scripts/package.sh" "$flavour" >/dev/null
common=$(ls "$builddir"/package/vantor-common_*_all.deb)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$common" Architecture)" = all ] || fail "$common: not Architecture: all"
debs=()
for fbversion in 3.0 4.0; do
  name=firebird$fbversion-vantor
  deb=$(ls "$builddir"/package/${name}_*_"$arch".deb)
  debs+=("$deb")
  [ "$(field "$deb" Architecture)" = "$arch" ] || fail "$deb: architecture is not $arch"
  [ "$(field "$deb" Multi-Arch)" = same ] || fail "$deb: not Multi-Arch: same"
  field "$deb" Depends | grep -q "vantor-common (= $(field "$common" Version))" \
    || fail "$deb does not depend on the common package of its version"
  field "$deb" Enhances | grep -qx "firebird$fbversion-server-core" || fail "$deb does not name its server"

  fb=/usr/lib/$triplet/firebird/$fbversion doc=usr/share/doc/$name
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' | sort > "$scratch/files"
  printf '%s\n' "$fb/UDF/libvantor.so" "$fb/plugins/udr/libvantor_udr.so" "/$doc/changelog.gz" "/$doc/copyright" \
    | sort | diff -u - "$scratch/files" || fail "$deb carries other files than these"
  rm -rf "$scratch/lib" "$scratch/control"
  dpkg -x "$deb" "$scratch/lib"
  cmp -s "$scratch/lib/$doc/copyright" "$root/packaging/copyright" || fail "copyright differs from packaging/copyright"
  gzip -dc "$scratch/lib/$doc/changelog.gz" | cmp -s - "$root/packaging/changelog" \
    || fail "changelog.gz differs from packaging/changelog"
  # dpkg refuses to install side by side packages that differ in a shared file.
  for other in "$root"/build/*/package/${name}_*.deb; do
    [ "$other" != "$deb" ] || continue
    rm -rf "$scratch/other" && dpkg -x "$other" "$scratch/other"
    diff -rq "$scratch/lib/$doc" "$scratch/other/$doc" || fail "$(basename "$deb") and $(basename "$other") differ"
  done
  # Installed without its server, the package says so and succeeds; with it, it is silent.
  dpkg-deb -e "$deb" "$scratch/control"
  engine=$fb/plugins/libEngine13.so
  [ "$fbversion" = 4.0 ] || engine=$fb/plugins/libEngine12.so
  grep -q "$engine" "$scratch/control/postinst" || fail "$deb: its postinst does not look for its server's engine"
  sed "s|$engine|$scratch/nowhere|" "$scratch/control/postinst" > "$scratch/postinst"
  sh "$scratch/postinst" configure 2> "$scratch/postinst.err" || fail "$deb: postinst fails where its server is missing"
  grep -q "no Firebird $fbversion server of this architecture ($arch)" "$scratch/postinst.err" \
    || fail "$deb: postinst does not say that its server is missing"
  sed "s|$engine|$scratch/postinst|" "$scratch/control/postinst" > "$scratch/postinst.there"
  [ -z "$(sh "$scratch/postinst.there" configure 2>&1)" ] || fail "$deb: postinst speaks while its server is there"
  bash "$root/scripts/check-library.sh" "--$flavour" "$scratch/lib$fb/UDF/libvantor.so" \
    "$scratch/lib$fb/plugins/udr/libvantor_udr.so"
done

dpkg -x "$common" "$scratch/common"
diff -rq "$root/sql" "$scratch/common/usr/share/vantor" || fail "$common: /usr/share/vantor differs from sql/"
cmp -s "$scratch/common/usr/sbin/vantor-install" "$root/scripts/vantor-install" \
  || fail "$common: vantor-install differs from scripts/vantor-install"
[ -x "$scratch/common/usr/sbin/vantor-install" ] || fail "$common: vantor-install is not executable"
if dpkg-deb -c "$common" | awk '{print $6}' | grep -q '^\./usr/lib/'; then fail "$common carries architecture files"; fi
# The users' documentation (the upgrading guide where the source has one) as
# it is in the source; the maintainers' files stay out.
docs=(README.md CHANGELOG.md docs/installing.md docs/scripts.md docs/character-sets.md
      docs/troubleshooting.md docs/masks.md docs/dates.md docs/blobs.md)
[ ! -f "$root/docs/upgrading.md" ] || docs+=(docs/upgrading.md)
(cd "$scratch/common/usr/share/doc/vantor-common" && find . -type f | sed 's|^\./||' | sort) > "$scratch/docs"
printf '%s\n' "${docs[@]}" changelog.gz copyright | sort | diff -u - "$scratch/docs" \
  || fail "$common carries other documentation than this"
for f in "${docs[@]}"; do
  cmp -s "$scratch/common/usr/share/doc/vantor-common/$f" "$root/$f" || fail "$common: $f differs from the source's"
done

command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
lintian --tag-display-limit 0 "${debs[@]}" "$common" > "$scratch/lintian" 2>&1 || true
if grep -E '^[EW]: ' "$scratch/lintian"; then fail "lintian reports the errors or warnings above"; fi

echo "check-package: $(basename "${debs[0]}"), $(basename "${debs[1]}") (Multi-Arch: same): the modules in" \
  "/usr/lib/$triplet/firebird/3.0, 4.0 alone, a word where the server is missing; $(basename "$common"): the" \
  "scripts, vantor-install, the users' documentation; lintian: no errors, no warnings"
