# Sourced by the command-line tests.

# isolate_home WORK: a private HOME and configuration, so that a test never
# touches the developer's own settings or recents.
isolate_home() {
  mkdir -p "$1/home/.config"
  export HOME="$1/home" XDG_CONFIG_HOME="$1/home/.config"
}

# final_status STDERR_FILE: the last status line the command printed.
final_status() {
  grep -E "^(Converted|Converting|Couldn't|Copied|Engine error|Fetching|No text found|Not a valid URL|Skipped)" "$1" | tail -1 || true
}

# stored_recents: the names in the stored recents list, newest first.
stored_recents() {
  local store="$XDG_CONFIG_HOME/Ombrix/Morvane.conf"
  [ -f "$store" ] || return 0
  grep -o '\\"name\\":\\"[^\\]*' "$store" | sed 's/.*\\"//'
}
