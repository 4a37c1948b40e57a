#!/usr/bin/env bash
# morvane-convert on a saved news page served from loopback, through the real
# engine: only the article comes out, with its links made absolute.
set -euo pipefail
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh"
start_end_to_end "$@"

# A one-file server on a free loopback port; it prints the port once it listens.
node -e '
  const http = require("node:http");
  const page = require("node:fs").readFileSync(process.argv[1]);
  http.createServer((req, res) => {
    if (req.url === "/news/2026/new-pier") {
      res.writeHead(200, { "Content-Type": "text/html; charset=utf-8" });
      res.end(page);
    } else {
      res.writeHead(404, { "Content-Type": "text/plain" });
      res.end("not here");
    }
  }).listen(0, "127.0.0.1", function () { console.log(this.address().port); });
' "$source_dir/tests/cli/fixtures/harbour-article.html" >"$work/port" &
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")
[ -n "$port" ] || { echo "FAIL: the page server did not start"; exit 1; }
base="http://127.0.0.1:$port"

out="$work/out"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$convert" --out "$out" --no-reveal \
  "$base/news/2026/new-pier" >"$work/stdout" 2>"$work/stderr" || status=$?
fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$work/stdout"; echo "--- stderr"; tail -20 "$work/stderr"; exit 1; }
[ "$status" -eq 0 ] || fail "exit status $status"
[ "$(final_status "$work/stderr")" = "Converted ✓" ] || fail "final status"
document=$(grep '\.md$' "$work/stdout") || fail "no document written"
[ "$(echo "$document" | wc -l)" -eq 1 ] || fail "one document expected"
[ -f "$document" ] || fail "missing $document"
# Only the article: no subscription box, lists of other stories, adverts or
# cookie banner, one title heading, every link and picture address absolute.
expect_golden "$document" "$source_dir/tests/cli/golden/$(basename "$document")" "$base" || fail "golden"
echo "article end to end: $(basename "$document")"
