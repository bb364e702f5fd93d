#!/usr/bin/env bash
# The main job on the bundled samples: builds morfex, converts samples/ into a fresh output
# folder with a few typical command lines, and shows what each run printed and what it wrote.
#   bash scripts/demo.sh [output-folder]     (default: a new folder under /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# The release build when it configures, else the dev build; only morfex is needed.
if cmake --preset release >/dev/null && cmake --build --preset release --target morfex >/dev/null; then
  morfex=$PWD/build/release/src/app/morfex
else
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target morfex >/dev/null
  morfex=$PWD/build/dev/src/app/morfex
fi

out=${1:-$(mktemp -d /tmp/glyphshift-demo-XXXXXX)}
if [ -n "$(ls -A "$out" 2>/dev/null)" ]; then
  echo "demo: $out is not empty; give a new or empty folder" >&2
  exit 1
fi
mkdir -p "$out/western" "$out/unicode" "$out/russian" "$out/greek"
samples=$PWD/samples

run() {
  printf '\n$ morfex'
  printf ' %q' "$@"
  printf '\n'
  set +e
  (cd "$samples" && "$morfex" "$@")
  local status=$?
  set -e
  echo
  echo "(exit status $status)"
}

run 'western/*.txt;*.html;*.xml' /r /scs=windows-1252 /xml /html /line=unix "/output=$out/western"
run 'unicode/*.txt' /recursive "/output=$out/unicode"
run russian/letter-koi8-r.txt /scs=koi8-r /nobom "/output=$out/russian/letter.txt"
run greek/letter-windows-1253.txt /scs=windows-1253 /dcs=utf-16 "/output=$out/greek"

echo
echo "Output in $out:"
(cd "$out" && find . -type f | sort | while read -r f; do printf '%8d  %s\n' "$(stat -c %s "$f")" "${f#./}"; done)
echo
echo "--- western/web/page.html (charset rewritten) ---"
cat "$out/western/web/page.html"
echo "--- russian/letter.txt ---"
tr -d '\r' < "$out/russian/letter.txt"
