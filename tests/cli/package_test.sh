#!/usr/bin/env bash
# A build without self-update packs into a Debian package that installs under
# /usr: unpacked into a scratch root, its commands find their private
# libraries under lib/<multiarch>/morvane and the resource bundle under
# share/morvane, convert, and start; the desktop entry, icon, man page and
# AppStream metainfo are where desktops look for them.
set -euo pipefail
build=${1:?usage: package_test.sh BUILD_DIR}
work=$(mktemp -d)
app_pid=""
trap '[ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/morvane_*.deb)
dpkg-deb -f "$deb" Package Depends | grep -q '^Depends: .*libqt6' || fail "no library dependencies"
dpkg-deb -x "$deb" "$work/root"
usr="$work/root/usr"
dpkg-deb -e "$deb" "$work/control"
{ [ ! -e "$work/control/postinst" ] && [ ! -e "$work/control/postrm" ]; } || fail "maintainer scripts (removal would leave the package behind)"
libs=$(dirname "$(find "$usr/lib" -name libMorvanePdf.so)")
case $libs in "$usr"/lib/*/morvane) ;; *) fail "private libraries in $libs" ;; esac
for file in bin/morvane bin/morvane-convert "${libs#"$usr"/}/libMorvanePdf.so" "${libs#"$usr"/}/libMorvanePdfOcr.so" "${libs#"$usr"/}/libMorvaneGraphical.so" \
  share/morvane/Morvane_Morvane.bundle/converter/host.html share/applications/morvane.desktop \
  share/icons/hicolor/scalable/apps/morvane.svg share/man/man1/morvane-convert.1.gz \
  share/metainfo/com.ombrix.morvane.metainfo.xml; do
  [ -e "$usr/$file" ] || fail "$file not packaged"
done
if dpkg-deb -c "$deb" | grep -Eq '\./usr/bin/.*\.(so|bundle)|Morvane\.app|/VERSION$'; then
  dpkg-deb -c "$deb"; fail "install-folder files in the package"
fi
for binary in "$usr/bin/morvane" "$usr/bin/morvane-convert" "$libs/libMorvanePdfOcr.so" "$libs/libMorvaneGraphical.so"; do
  if ldd "$binary" | grep -q 'not found'; then ldd "$binary"; fail "unresolved library in $binary"; fi
done
grep -qx 'Exec=morvane %F' "$usr/share/applications/morvane.desktop" || fail "desktop entry Exec"
zcat "$usr/share/man/man1/morvane-convert.1.gz" | grep -q '^.B \\-\\-stdout' || fail "man page"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$usr/share/metainfo/com.ombrix.morvane.metainfo.xml" || fail "metainfo"
fi

# shellcheck source=installed_copy.sh
. "$(dirname -- "$0")/installed_copy.sh"
check_installed_copy "$usr/bin" packaged
echo "package: Debian package complete and launchable"
