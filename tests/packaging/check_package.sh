#!/usr/bin/env bash
# Builds the Debian packages from a built tree and checks what a user of the
# program's package gets: the programs with their manual pages (English and
# Polish) and completion, the menu entry, icon and software-centre
# description where a desktop looks for them (and both descriptions valid),
# the licence and changelog, nothing else (the component's files are in a
# package of their own), and
# dependencies that include the Qt libraries the program links and Qt's
# Polish texts.
# Usage: check_package.sh BUILD_DIR DESKTOP_ID PROGRAM...
set -euo pipefail
build=$1 id=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
debs=("$work"/velt_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { fail "expected one velt_*.deb, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}
# The component's package beside it: headers, library, CMake package and
# pkg-config file, its own licence and changelog, no program.
dev=$(echo "$work"/libvelt-comport-dev_*.deb)
if [ -f "$dev" ]; then
  dev_files=$(dpkg-deb -c "$dev" | awk '$1 !~ /^d/ { print $6 }')
  for pattern in '/usr/include/velt/comport/CPort\.h$' '/usr/lib/[^/]+/libvelt-comport\.(a|so)$' \
                 '/usr/lib/[^/]+/cmake/VeltComPort/VeltComPortConfig\.cmake$' '/usr/lib/[^/]+/pkgconfig/velt-comport\.pc$' \
                 '/usr/share/doc/libvelt-comport-dev/copyright$' '/usr/share/doc/libvelt-comport-dev/changelog\.gz$'; do
    grep -qE "$pattern" <<<"$dev_files" || fail "libvelt-comport-dev lacks $pattern"
  done
  ! grep -q '/usr/bin/' <<<"$dev_files" || fail "libvelt-comport-dev carries a program"
else
  fail "no libvelt-comport-dev package beside it"
fi

expected=(./usr/share/applications/$id.desktop ./usr/share/icons/hicolor/scalable/apps/$id.svg
          ./usr/share/metainfo/$id.metainfo.xml ./usr/share/doc/velt/copyright ./usr/share/doc/velt/changelog.gz)
for program in "$@"; do
  expected+=(./usr/bin/$program ./usr/share/man/man1/$program.1.gz ./usr/share/man/pl/man1/$program.1.gz)
done
[[ " $* " == *" velt-cli "* ]] && expected+=(./usr/share/bash-completion/completions/velt-cli)
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
for file in "${expected[@]}"; do
  grep -qxF "$file" <<<"$files" || fail "missing from the package: $file"
done
extra=$(grep -vxF -f <(printf '%s\n' "${expected[@]}") <<<"$files" || true)
[ -z "$extra" ] || fail "not meant for the package: $extra"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-translations-l10n; do
  grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/$id.desktop" || fail "desktop entry not valid"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo not valid"
grep -q "^Icon=$id$" "$work/root/usr/share/applications/$id.desktop" || fail "the entry names another icon"
for program in "$@"; do
  file "$work/root/usr/bin/$program" | grep -q ", stripped" || fail "$program is not stripped"
done

[ "$failures" -eq 0 ] && echo "$(basename "$deb"): contents, dependencies and descriptions as expected"
exit "$failures"
