#!/usr/bin/env bash
# Builds the Debian packages from the build tree with CPack and checks them. morvelle: its
# name, its control fields (the libraries' packages found by dpkg-shlibdeps, the font and the
# sound server's client library, which the game opens at run time), that it holds exactly the installed game owned by root, that its copyright
# file is machine-readable and puts everything under the zlib licence of LICENSE, and that
# lintian finds no error (its other findings are printed). libvexel-dev: its control fields
# (the -dev package of every pkg-config module vexel.pc requires), that it holds exactly the
# installed component vexel_dev owned by root, that its copyright file is the game's but for
# the name, and that lintian finds nothing.
#
# Usage: package_test.sh <build dir> <version> <source dir>
set -u
source "$(dirname "$0")/assert.sh"
build=$1
version=$2
source_dir=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# gzip instead of the package's xz: the sanitized executable is large, and how the archive
# is compressed changes none of the checks below.
if ! cpack --config "$build/CPackConfig.cmake" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
  -B "$work/package" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAILED: cpack" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)
deb=$work/package/morvelle_${version}_${arch}.deb
dev_deb=$work/package/libvexel-dev_${version}_${arch}.deb
expect_eq "package files" "$(printf '%s\n' "$dev_deb" "$deb")" "$(ls "$work"/package/*.deb)"
[ -f "$deb" ] || finish

field() { dpkg-deb --field "$deb" "$1"; }
expect_eq Package morvelle "$(field Package)"
expect_eq Version "$version" "$(field Version)"
expect_eq Architecture "$arch" "$(field Architecture)"
expect_eq Section games "$(field Section)"
expect_eq Priority optional "$(field Priority)"
expect_eq Recommends "" "$(field Recommends)"

# Depends: the font, the sound server's client library, and the package of every library the
# executable links.
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//; s/:.*//' | LC_ALL=C sort -u)
expect "Depends names fonts-freefont-ttf" grep -qx fonts-freefont-ttf <<<"$depends"
expect "Depends names libpulse0" grep -qx libpulse0 <<<"$depends"
needed=$(readelf -d "$build/game/morvelle" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
expect "the executable links libraries" test -n "$needed"
for soname in $needed; do
  library=$(ldconfig -p | awk -v so="$soname" '$1 == so && $0 ~ /x86-64|64bit/ { print $NF; exit }')
  [ -n "$library" ] || library=$(ldconfig -p | awk -v so="$soname" '$1 == so { print $NF; exit }')
  owner=$(dpkg -S "$(realpath "$library")" 2>/dev/null | head -n 1 | sed 's/:.*//')
  [ -n "$owner" ] || owner=$(dpkg -S "$library" 2>/dev/null | head -n 1 | sed 's/:.*//')
  expect "Depends names $owner for $soname" grep -qx "$owner" <<<"$depends"
done

# expect_contents component deb: the package holds exactly the tree that cmake --install
# makes of the component, owned by root.
expect_contents() {
  rm -rf "$work/stage"
  DESTDIR=$work/stage cmake --install "$build" --component "$1" --prefix /usr >/dev/null
  (cd "$work/stage" && find . -mindepth 1 \( -type f -o -type l \) -printf '%M %p %l\n') |
    sed 's/ $//' | LC_ALL=C sort -k2 >"$work/expected"
  dpkg-deb --contents "$2" |
    awk '$1 !~ /^d/ { owner = $2; $2 = $3 = $4 = $5 = ""; print owner "|" $0 }' >"$work/listed"
  expect_eq "$1 owners" "root/root" "$(cut -d'|' -f1 "$work/listed" | sort -u)"
  cut -d'|' -f2 "$work/listed" | sed 's/  */ /g; s/ -> / /' | LC_ALL=C sort -k2 >"$work/actual"
  expect_eq "$1 package contents" "$(cat "$work/expected")" "$(cat "$work/actual")"
}
expect_contents game "$deb"

# The copyright file. Lintian parses the machine-readable format only in source packages,
# so it reads this one as the copyright file of a throw-away source package; any finding of
# that parser (syntax, fields, licence paragraphs), pedantic ones included, is a fault.
copyright=$work/source/debian/copyright
mkdir -p "$work/source/debian/source"
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/morvelle/copyright >"$copyright"
echo "3.0 (native)" >"$work/source/debian/source/format"
printf 'Source: morvelle\nMaintainer: %s\n\nPackage: morvelle\nArchitecture: any\nDescription: %s\n %s\n' \
  "$(field Maintainer)" "$(field Description | head -n 1)" "Stand-in." >"$work/source/debian/control"
printf 'morvelle (%s) unstable; urgency=medium\n\n  * Stand-in.\n\n -- %s  %s\n' \
  "$version" "$(field Maintainer)" "$(date -R)" >"$work/source/debian/changelog"
(cd "$work" && dpkg-source -b source >"$work/dpkg-source.log" 2>&1)
expect "dpkg-source makes the stand-in source package" test -f "$work/morvelle_$version.dsc"
findings=$(lintian -C debian/copyright/dep5 --pedantic -I -E --tag-display-limit 0 \
  "$work/morvelle_$version.dsc" 2>&1 | grep -v 'running with root privileges')
expect_eq "lintian's findings on the copyright file" "" "$findings"
expect_eq "licence of every file" "Files: * License: Zlib" \
  "$(awk '/^Files:/ { files = $0 } /^License:/ && files { print files, $0; files = "" }' "$copyright")"
# The licence's terms are LICENSE's, below its copyright line, which is the Copyright field.
expect_eq "licence terms" "$(tail -n +3 "$source_dir/LICENSE")" \
  "$(sed -n '/^License: Zlib$/,/^$/ { /^License:/d; s/^ \.$//; s/^ //; p }' "$copyright")"
expect_eq "copyright holder" "Copyright: $(sed -n '1s/^Copyright (c) //p' "$source_dir/LICENSE")" \
  "$(grep '^Copyright:' "$copyright")"

# Lintian: no error; everything else it says is shown.
lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1
grep -v 'running with root privileges' "$work/lintian" || true
expect_eq "lintian errors" "" "$(grep '^E:' "$work/lintian")"

# libvexel-dev.
[ -f "$dev_deb" ] || finish
field() { dpkg-deb --field "$dev_deb" "$1"; }
expect_eq "libvexel-dev Version" "$version" "$(field Version)"
expect_eq "libvexel-dev Architecture" "$arch" "$(field Architecture)"
expect_eq "libvexel-dev Section" libdevel "$(field Section)"
expect_contents vexel_dev "$dev_deb"
dpkg-deb --fsys-tarfile "$dev_deb" | tar -xOf - ./usr/share/doc/libvexel-dev/copyright \
  >"$work/dev_copyright"
expect_eq "libvexel-dev's copyright and licence" "$(sed -n '/^Files:/,$p' "$copyright")" \
  "$(sed -n '/^Files:/,$p' "$work/dev_copyright")"
expect_eq "libvexel-dev's copyright names it" "Upstream-Name: Vexel" \
  "$(grep '^Upstream-Name:' "$work/dev_copyright")"
# Depends: the package holding the .pc file of every module vexel.pc requires.
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | LC_ALL=C sort -u)
pc=$(find "$work/stage" -name vexel.pc)
requires=$(sed -n 's/^Requires: //p' "$pc" | tr ',' ' ')
expect "vexel.pc requires modules" test -n "$requires"
for module in $requires; do
  owner=$(dpkg -S "$(realpath "$(pkg-config --variable=pcfiledir "$module")/$module.pc")" |
    head -n 1 | sed 's/:.*//')
  expect "libvexel-dev Depends names $owner for $module" grep -qx "$owner" <<<"$depends"
done
lintian --tag-display-limit 0 "$dev_deb" >"$work/lintian" 2>"$work/lintian.err"
grep -v 'running with root privileges' "$work/lintian.err" >&2
expect_eq "lintian on libvexel-dev" "" "$(cat "$work/lintian")"

finish
