#!/usr/bin/env bash
# cmake --install into a scratch prefix gives a self-contained Morvane.app: its
# libraries resolve, its command converts with the installed engine page and
# PDF library, and the desktop entry starts the installed app.
set -euo pipefail
build=${1:?usage: install_test.sh BUILD_DIR SOURCE_DIR}
source_dir=${2:?}
work=$(mktemp -d)
app_pid=""
trap '[ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
app="$work/prefix/Morvane.app"
for file in morvane morvane-convert libMorvanePdf.so libMorvanePdfOcr.so libMorvaneGraphical.so VERSION \
  Morvane_Morvane.bundle/converter/host.html Morvane_Morvane.bundle/converter/engine.js; do
  [ -e "$app/$file" ] || fail "$file not installed"
done
[ -f "$work/prefix/share/icons/hicolor/scalable/apps/morvane.svg" ] || fail "icon not installed"
# Releases are signed for the version the folder names.
"$source_dir/packaging/release-version" "$(cat "$app/VERSION")" || fail "VERSION names no release version"
for binary in "$app/morvane" "$app/morvane-convert" "$app/libMorvanePdfOcr.so" "$app/libMorvaneGraphical.so"; do
  if ldd "$binary" | grep -q 'not found'; then ldd "$binary"; fail "unresolved library in $binary"; fi
done

entry="$work/prefix/share/applications/morvane.desktop"
[ -f "$entry" ] || fail "desktop entry not installed"
grep -qx "Exec=\"$app/morvane\" %F" "$entry" || { cat "$entry"; fail "Exec does not name the installed app"; }
grep -q '^MimeType=.*application/pdf;' "$entry" || fail "MIME types"

# While an update's swap holds the folder, no conversion starts from it.
if flock -x "$app" "$app/morvane-convert" -o "$work/out" "$work/none.pdf" >/dev/null 2>"$work/locked"; then
  fail "morvane-convert ran while an update held its folder"
fi
grep -q "being updated" "$work/locked" || { cat "$work/locked"; fail "no word of the update"; }

# shellcheck source=installed_copy.sh
. "$(dirname -- "$0")/installed_copy.sh"
check_installed_copy "$app" installed
kill "$app_pid" 2>/dev/null; app_pid=""

# Without its graphical module the command still converts the PDF and says
# why the HTML file was not.
rm "$app/libMorvaneGraphical.so"
rc=0
"$app/morvane-convert" --out "$work/bare" --no-reveal "$work/notice.pdf" "$work/birds.html" \
  >"$work/stdout" 2>"$work/stderr" || rc=$?
{ [ "$rc" -eq 1 ] && grep -q cormorant "$work/bare/notice.md" && [ ! -e "$work/bare/Installed.md" ] &&
  grep -q 'could not load the web engine' "$work/stderr"; } || { cat "$work/stderr"; fail "without the module"; }
echo "install: Morvane.app complete and launchable"
