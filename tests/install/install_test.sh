#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses the installed copy:
# every file lands where the programs and the desktop look for it, the
# installed programs start and open a sample recording, and the desktop
# files pass their validators.
# Usage: install_test.sh BUILD-DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

share=$prefix/share
for f in bin/velmora bin/velmora-play bin/velmora-cli \
         share/velmora/Language/en_US.ini share/velmora/map/builtin_map.htm share/velmora/offset_min.bin \
         share/applications/org.velmora.Velmora.desktop share/mime/packages/velmora.xml \
         share/metainfo/org.velmora.Velmora.metainfo.xml \
         share/icons/hicolor/scalable/apps/velmora.svg share/icons/hicolor/48x48/apps/velmora.png \
         share/icons/hicolor/256x256/apps/velmora.png; do
  [ -s "$prefix/$f" ] || fail "$f is not installed"
done
if command -v scdoc >/dev/null; then
  ls "$share"/man/man1/velmora-*.1.gz >/dev/null 2>&1 || fail "no manual pages installed"
fi
# Every language file of the source tree is installed.
for f in "$(dirname "$0")"/../../resources/Language/*.ini; do
  cmp -s "$f" "$share/velmora/Language/$(basename "$f")" || fail "Language/$(basename "$f") differs or is missing"
done

# The installed programs start.
"$prefix/bin/velmora" --version | grep -qx "velmora [0-9.]*" || fail "velmora --version"
"$prefix/bin/velmora-play" --version >/dev/null || fail "velmora-play --version"

# ... and open a recording.
"$build/bin/velmora-sample-card" --out "$work/card" --files 1 --seconds 3 --size 320x240 >/dev/null
rec=$(ls "$work"/card/DCIM/100MEDIA/*.ts | head -n1)
"$prefix/bin/velmora-cli" telemetry --csv "$rec" >"$work/track.csv" || fail "velmora-cli telemetry"
[ "$(wc -l <"$work/track.csv")" -gt 1 ] || fail "no track read from $rec"
XDG_CONFIG_HOME=$work/config "$prefix/bin/velmora-play" --no-audio --quit-after 3 "$rec" 2>"$work/play.log" ||
  { cat "$work/play.log"; fail "velmora-play"; }
shown=$(sed -n 's/.* \([0-9]*\) pictures shown/\1/p' "$work/play.log")
[ "${shown:-0}" -gt 0 ] || { cat "$work/play.log"; fail "velmora-play showed no picture"; }

# The desktop files.
desktop-file-validate "$share/applications/org.velmora.Velmora.desktop" || fail "desktop-file-validate"
appstream-util validate-relax --nonet "$share/metainfo/org.velmora.Velmora.metainfo.xml" >"$work/as.log" ||
  { cat "$work/as.log"; fail "appstream-util validate-relax"; }
XDG_DATA_DIRS=$share update-mime-database "$share/mime" || fail "update-mime-database"
grep -q "^video/x-velmora-nts:\*\.nts$" "$share/mime/globs" || fail "*.nts is not our MIME type"
echo "installed copy works"
