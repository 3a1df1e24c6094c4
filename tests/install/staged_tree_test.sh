#!/usr/bin/env bash
# Installs the game into a staging folder (DESTDIR, prefix /usr) and checks the tree: every
# file and nothing more, modes, the Data link, the game's files unchanged, the launcher
# finding the executable beside it, the icons' sizes, and the desktop entry, the AppStream
# metadata and the manual page accepted by their validators.
#
# Usage: staged_tree_test.sh <build dir> <source dir> <version>
set -u
source "$(dirname "$0")/assert.sh"
build=$1
source_dir=$2
version=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
if ! DESTDIR=$stage cmake --install "$build" --component game --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAILED: cmake --install" >&2
  exit 1
fi
usr=$stage/usr
data=$build/game/Data

# Every file, and nothing else: no options or high scores from a build-tree game.
{
  printf '%s\n' \
    usr/games/morvelle \
    usr/lib/games/morvelle/morvelle \
    usr/lib/games/morvelle/Data \
    usr/share/applications/morvelle.desktop \
    usr/share/metainfo/org.morvelle.morvelle.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/morvelle.png \
    usr/share/icons/hicolor/128x128/apps/morvelle.png \
    usr/share/icons/hicolor/256x256/apps/morvelle.png \
    usr/share/icons/hicolor/scalable/apps/morvelle.svg \
    usr/share/man/man6/morvelle.6.gz \
    usr/share/doc/morvelle/README \
    usr/share/doc/morvelle/copyright \
    usr/share/doc/morvelle/changelog.gz
  (cd "$data" && find gfx sfx -type f) | sed 's|^|usr/share/games/morvelle/Data/|'
} | LC_ALL=C sort >"$work/expected"
(cd "$stage" && find . -type f -o -type l) | sed 's|^\./||' | LC_ALL=C sort >"$work/actual"
expect_eq "installed files" "$(cat "$work/expected")" "$(cat "$work/actual")"
expect "the build tree has pictures" test -n "$(ls "$data/gfx")"
expect "the build tree has sounds" test -n "$(ls "$data/sfx")"

# Modes: the two programs 0755, every other file 0644, every folder 0755.
programs=$(cd "$stage" && find . -type f -perm 0755 | sed 's|^\./||' | LC_ALL=C sort)
expect_eq "programs" "$(printf '%s\n' usr/games/morvelle usr/lib/games/morvelle/morvelle)" \
  "$programs"
expect_eq "files neither 0644 nor programs" "" \
  "$(cd "$stage" && find . -type f ! -perm 0644 ! -perm 0755)"
expect_eq "folders not 0755" "" "$(cd "$stage" && find . -type d ! -perm 0755)"

# The executable finds Data/ beside itself through a relative link, so the tree can move.
expect_eq "Data link" ../../../share/games/morvelle/Data \
  "$(readlink "$usr/lib/games/morvelle/Data")"
expect_eq "Data link target" "$(realpath "$usr/share/games/morvelle/Data")" \
  "$(realpath "$usr/lib/games/morvelle/Data")"
expect "installed pictures equal the built ones" diff -r "$data/gfx" "$usr/share/games/morvelle/Data/gfx"
expect "installed sounds equal the built ones" diff -r "$data/sfx" "$usr/share/games/morvelle/Data/sfx"
expect "installed executable equals the built one" cmp -s "$build/game/morvelle" \
  "$usr/lib/games/morvelle/morvelle"

# The installed launcher finds the executable relative to itself, started by full path or
# from its own folder: a copy of it beside a stand-in executable that reports its path.
mkdir -p "$work/moved/usr/games" "$work/moved/usr/lib/games/morvelle"
cp "$usr/games/morvelle" "$work/moved/usr/games/"
printf '#!/bin/sh\necho "$0"\n' >"$work/moved/usr/lib/games/morvelle/morvelle"
chmod 755 "$work/moved/usr/lib/games/morvelle/morvelle"
stand_in=$(realpath "$work/moved/usr/lib/games/morvelle/morvelle")
started=$(env -i PATH=/usr/bin:/bin "$work/moved/usr/games/morvelle")
expect_eq "launcher by full path starts" "$stand_in" "$(realpath "$started")"
started=$(cd "$work/moved/usr/games" && env -i PATH=/usr/bin:/bin /bin/sh morvelle)
expect_eq "launcher from its folder starts" "$stand_in" \
  "$(cd "$work/moved/usr/games" && realpath "$started")"

# Icons: PNG of exactly 48, 128 and 256 pixels square (the header's width and height), and
# the scalable one is the source drawing.
for size in 48 128 256; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/morvelle.png
  expect_eq "icon $size signature" "89504e470d0a1a0a" "$(od -An -tx1 -N8 "$png" | tr -d ' \n')"
  expect_eq "icon $size size" "$(printf '%08x%08x' "$size" "$size")" \
    "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')"
done
expect "scalable icon is the source" cmp -s "$source_dir/assets/icon/morvelle.svg" \
  "$usr/share/icons/hicolor/scalable/apps/morvelle.svg"

# The desktop entry.
entry=$usr/share/applications/morvelle.desktop
expect "desktop-file-validate accepts the entry" desktop-file-validate "$entry"
for line in Type=Application Name=Morvelle Exec=/usr/games/morvelle Icon=morvelle \
  Terminal=false "Categories=Game;ActionGame;Shooter;"; do
  expect_eq "desktop entry line $line" "$line" "$(grep -x -F "$line" "$entry")"
done
for key in 'Comment' 'Comment\[de\]' 'GenericName' 'GenericName\[de\]'; do
  expect "desktop entry has a $key" grep -q "^$key=..." "$entry"
done

# The AppStream metadata.
meta=$usr/share/metainfo/org.morvelle.morvelle.metainfo.xml
expect "appstreamcli accepts the metadata" appstreamcli validate --no-net "$meta"
expect_eq "metadata launches the desktop entry" \
  '<launchable type="desktop-id">morvelle.desktop</launchable>' \
  "$(grep -o '<launchable[^>]*>[^<]*</launchable>' "$meta")"
expect_eq "metadata release" "<release version=\"$version\"" \
  "$(grep -o '<release version="[^"]*"' "$meta")"
expect "metadata has a screenshot" grep -q '<screenshot type="default">' "$meta"
expect "metadata has a German description" grep -q '<p xml:lang="de">' "$meta"

# The manual page: compressed, no complaints from man, and its sections.
man6=$usr/share/man/man6/morvelle.6.gz
expect "manual page is gzip" gzip -t "$man6"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man6" 2>&1 >/dev/null)
expect_eq "man's warnings" "" "$warnings"
expect_eq "manual page sections" \
  "NAME SYNOPSIS DESCRIPTION OPTIONS HOW TO PLAY FILES ENVIRONMENT SOUND EXIT STATUS AUTHORS LICENSE SEE ALSO" \
  "$(zcat "$man6" | sed -n 's/^\.SH //p' | tr '\n' ' ' | sed 's/ $//')"

expect_eq "changelog's first line" "morvelle ($version) unstable; urgency=medium" \
  "$(zcat "$usr/share/doc/morvelle/changelog.gz" | head -n 1)"
expect "copyright names the package" grep -q '^Upstream-Name: Morvelle$' "$usr/share/doc/morvelle/copyright"

finish
