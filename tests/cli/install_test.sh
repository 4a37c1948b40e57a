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
for file in morvane morvane-convert libMorvanePdf.so libMorvanePdfOcr.so VERSION \
  Morvane_Morvane.bundle/converter/host.html Morvane_Morvane.bundle/converter/engine.js; do
  [ -e "$app/$file" ] || fail "$file not installed"
done
[ -f "$work/prefix/share/icons/hicolor/scalable/apps/morvane.svg" ] || fail "icon not installed"
# Releases are signed for the version the folder names.
"$source_dir/packaging/release-version" "$(cat "$app/VERSION")" || fail "VERSION names no release version"
for binary in "$app/morvane" "$app/morvane-convert" "$app/libMorvanePdfOcr.so"; do
  if ldd "$binary" | grep -q 'not found'; then ldd "$binary"; fail "unresolved library in $binary"; fi
done

entry="$work/prefix/share/applications/morvane.desktop"
[ -f "$entry" ] || fail "desktop entry not installed"
grep -qx "Exec=\"$app/morvane\" %F" "$entry" || { cat "$entry"; fail "Exec does not name the installed app"; }
grep -q '^MimeType=.*application/pdf;' "$entry" || fail "MIME types"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cat >"$work/page.txt" <<'PDF'
%%MediaBox 0 0 595 842
%%Font F1 Helvetica
BT 72 770 Td /F1 11 Tf (Installed copy reads this line: cormorant.) Tj ET
PDF
mutool create -o "$work/notice.pdf" "$work/page.txt"
printf '<html><head><title>Installed</title></head><body><p>Kittiwake nests.</p></body></html>' >"$work/birds.html"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$app/morvane-convert" --out "$work/out" --no-reveal \
  "$work/notice.pdf" "$work/birds.html" >"$work/stdout" 2>"$work/stderr" || {
  cat "$work/stdout"; tail -20 "$work/stderr"; fail "installed morvane-convert"; }
grep -q cormorant "$work/out/notice.md" || fail "PDF through the installed library"
grep -q Kittiwake "$work/out/Installed.md" || fail "HTML through the installed engine page"

# The entry's command line, as a launcher would run it, keeps the app running.
QT_QPA_PLATFORM=offscreen "$app/morvane" >"$work/app.log" 2>&1 &
app_pid=$!
sleep 3
kill -0 "$app_pid" 2>/dev/null || { cat "$work/app.log"; fail "installed app exited at start"; }
echo "install: Morvane.app complete and launchable"
