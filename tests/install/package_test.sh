#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks it as a user's
# system would: its files (the copyright record beside the programs), its
# declared dependencies against what the programs link, and lintian's errors.
# Usage: package_test.sh BUILD-DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack -G DEB"; }
deb=$(ls "$work"/out/velmora_*.deb | head -n1)
[ -n "$deb" ] || fail "no package written"

dpkg -c "$deb" >"$work/files"
for f in ./usr/bin/velmora ./usr/share/doc/velmora/copyright ./usr/share/doc/velmora/changelog.gz \
         ./usr/share/velmora/Language/en_US.ini ./usr/share/applications/org.velmora.Velmora.desktop; do
  grep -q " $f\$" "$work/files" || fail "$f is not in the package"
done

# Every library a program names (NEEDED) comes from a declared dependency.
depends=$(dpkg-deb -f "$deb" Depends)
declared() { grep -qE "(^|, )$1( |,|$)" <<<"$depends"; }
mkdir "$work/root" && dpkg-deb -x "$deb" "$work/root"
for program in "$work"/root/usr/bin/*; do
  for needed in $(objdump -p "$program" | awk '/NEEDED/{print $2}'); do
    path=$(ldd "$program" | awk -v n="$needed" '$1 == n {print $3}')
    [ -n "$path" ] || fail "$(basename "$program") needs $needed, which is not on this system"
    owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(readlink -f "$path")" 2>/dev/null || true)
    owner=${owner%%:*}
    [ -n "$owner" ] || continue # not from a package: nothing to declare
    case "$owner" in libc6 | libgcc-s1 | libstdc++6) continue ;; esac # essential or always present
    declared "$owner" || fail "$(basename "$program") links $needed of $owner, which is not a dependency"
  done
done
# What the programs load at run time without linking it.
for p in qt6-qpa-plugins libjs-leaflet fonts-dejavu-core fonts-noto-cjk; do
  declared "$p" || fail "$p is not a dependency"
done

# lintian ends with a failure status on errors (its warnings are printed).
lintian --allow-root "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian reports errors"; }
cat "$work/lintian.log"
echo "package $(basename "$deb") checked"
