# shellcheck shell=bash disable=SC2154 # $work and fail() are the caller's
# Sourced by install_test.sh and package_test.sh. check_installed_copy BIN_DIR
# LABEL: with a scratch home, the installed morvane-convert in BIN_DIR converts
# a PDF through the installed PDF library and an HTML file through the
# installed engine page, and the installed app keeps running once started, as
# a launcher would start it. Needs $work and fail(); sets app_pid for the
# caller's clean-up.
check_installed_copy() {
  local bin=$1 label=$2
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
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/morvane-convert" --out "$work/out" --no-reveal \
    "$work/notice.pdf" "$work/birds.html" >"$work/stdout" 2>"$work/stderr" || {
    cat "$work/stdout"; tail -20 "$work/stderr"; fail "$label morvane-convert"; }
  grep -q cormorant "$work/out/notice.md" || fail "PDF through the $label library"
  grep -q Kittiwake "$work/out/Installed.md" || fail "HTML through the $label engine page"

  QT_QPA_PLATFORM=offscreen "$bin/morvane" >"$work/app.log" 2>&1 &
  app_pid=$!
  sleep 3
  kill -0 "$app_pid" 2>/dev/null || { cat "$work/app.log"; fail "$label app exited at start"; }
}
