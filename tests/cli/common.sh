# shellcheck shell=bash
# Sourced by the command-line tests.

# start_end_to_end MORVANE_CONVERT SOURCE_DIR: sets convert and source_dir,
# a scratch folder work that goes at exit with any background job, and a
# private home in it.
# shellcheck disable=SC2034 # the variables are for the script that sources this
start_end_to_end() {
  convert=${1:?usage: $0 MORVANE_CONVERT SOURCE_DIR}
  source_dir=${2:?usage: $0 MORVANE_CONVERT SOURCE_DIR}
  work=$(mktemp -d)
  trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
  isolate_home "$work"
}

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

# expect_golden DOCUMENT GOLDEN [BASE]: a written document against its
# expected Markdown, the day's date and BASE (a local server's address)
# masked. With MORVANE_REGENERATE_GOLDEN=1 the expected file is written anew,
# for review in the diff.
expect_golden() {
  local masked
  masked=$(sed -e 's/^date: [0-9-]*$/date: DATE/' ${3:+-e "s|$3|http://SERVER|g"} "$1")
  if [ -n "${MORVANE_REGENERATE_GOLDEN:-}" ]; then
    printf '%s\n' "$masked" >"$2"
  fi
  if ! diff -u "$2" <(printf '%s\n' "$masked"); then
    echo "FAIL: $1 differs from $2"
    return 1
  fi
}
