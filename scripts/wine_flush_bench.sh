#!/usr/bin/env bash
# What the durable replacement costs under Wine: a tree of 2,000 files of 4 KiB converted into a
# fresh output folder (new files: no flush), then again over those outputs (each replaced file is
# flushed before its rename, in batches), then in place (/replace), with each Windows build found
# (build/windows-x64, build/windows-x86). Prints the best of 3 runs and files per second.
#   bash scripts/wine_flush_bench.sh [work-folder on the disk to measure]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
wine_run=$root/cmake/toolchains/wine-run.sh

work=$(mktemp -d "${1:-/tmp}/glyphshift-wine-flush-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 - <<'PY'
import os
text = ("Caf\xe9 na\xefve \u2013 \u201cquoted\u201d text, line after line.\r\n" * 80).encode("cp1252")[:4096]
for d in range(20):
    os.makedirs(f"tree/d{d:02}")
    for i in range(100):
        with open(f"tree/d{d:02}/f{i:03}.txt", "wb") as f:
            f.write(text)
PY
files=2000

best_of_3() {
  local best="" t0 t1 _
  for _ in 1 2 3; do
    [ -n "${prepare:-}" ] && eval "$prepare"
    sync
    t0=$(date +%s.%N)
    "$wine_run" "$@" >/dev/null 2>&1 || true
    t1=$(date +%s.%N)
    best=$(awk -v a="$t0" -v b="$t1" -v m="$best" 'BEGIN { d = b - a; if (m == "" || d < m) m = d; printf "%.3f", m }')
  done
  echo "$best"
}
rate() { awk -v s="$1" -v n="$files" 'BEGIN { printf "%.0f", n / s }'; }

for arch in x64 x86; do
  exe=$root/build/windows-$arch/bin/morfex.exe
  [ -f "$exe" ] || { echo "windows-$arch: not built ($exe)"; continue; }
  "$wine_run" cmd.exe /c exit >/dev/null 2>&1 || true  # the prefix and the server are up
  prepare='rm -rf out && mkdir out'
  fresh=$(best_of_3 "$exe" 'tree\*.txt' /r /scs=windows-1252 /output=out)
  prepare=
  replaced=$(best_of_3 "$exe" 'tree\*.txt' /r /scs=windows-1252 /output=out)
  prepare='rm -rf inplace && cp -r tree inplace'
  inplace=$(best_of_3 "$exe" 'inplace\*.txt' /r /scs=windows-1252 /replace)
  start=$( (time -p "$wine_run" "$exe" --version >/dev/null) 2>&1 | awk '/^real/ { print $2 }')
  echo "windows-$arch under Wine ($(df --output=fstype . | tail -1) $work), $files files of 4 KiB, best of 3:"
  echo "  fresh outputs       ${fresh} s  $(rate "$fresh") files/s"
  echo "  replacing outputs   ${replaced} s  $(rate "$replaced") files/s  ($(awk -v a="$replaced" -v b="$fresh" 'BEGIN { printf "%.2f", a / b }')x fresh)"
  echo "  in place (/replace) ${inplace} s  $(rate "$inplace") files/s  ($(awk -v a="$inplace" -v b="$fresh" 'BEGIN { printf "%.2f", a / b }')x fresh)"
  echo "  one start (--version) ${start} s"
done
