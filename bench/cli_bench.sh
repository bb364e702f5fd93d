#!/usr/bin/env bash
# Speed and memory of the morfex command line on generated data, against iconv and cp in the
# same run. Builds the release preset first.
#   bash bench/cli_bench.sh [work-folder]
# The default work folder is new under /dev/shm (memory), so the shared disk's noise does not
# swamp the figures; (c) is measured on /tmp (disk) as well. Generated folders are removed after.
# Targets: (a) and (b) at least 3x faster than iconv and within 2.5x of cp; peak memory of (a)
# at most 3.3x the file size; (c) at least 5000 files/s; no GUI library in a batch run;
# --version under 5 ms.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh >/dev/null
if [ ! -x /usr/bin/time ]; then
  apt-get install -y -qq time >/dev/null
fi

# The release preset in a folder of its own, so the shared build/release keeps its settings.
# Only morfex is needed; the engine benchmarks are not built here.
build=$root/build/cli-bench
if ! { cmake --preset release -B "$build" >/dev/null && cmake --build "$build" --target morfex >/dev/null; }; then
  echo "note: the release build failed with warnings as errors; measuring a build without -Werror" >&2
  cmake --preset release -B "$build" -DGLYPHSHIFT_WERROR=OFF >/dev/null
  cmake --build "$build" --target morfex >/dev/null
fi
morfex=$build/src/run/morfex

work=${1:-}
disk=$(mktemp -d /tmp/glyphshift-bench-disk-XXXXXX)
if [ -z "$work" ]; then
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; else base=/tmp; fi
  work=$(mktemp -d $base/glyphshift-bench-XXXXXX)
  trap 'rm -rf "$work" "$disk"' EXIT
else
  trap 'rm -rf "$disk"' EXIT
fi
mkdir -p "$work"
cd "$work"
mib=$((1024 * 1024))

echo "Generating data in $work ..."
python3 - <<'PY'
import os, random
random.seed(7)
MiB = 1024 * 1024
# (a) Latin text in Windows-1252: mostly ASCII, a few accented letters per line.
words = ["conversion", "caf\u00e9", "na\u00efve", "r\u00e9sum\u00e9", "table", "file", "\u00fcber", "stra\u00dfe",
         "text", "line", "\u20ac", "se\u00f1or", "character", "set", "the", "and", "of", "data"]
def paragraph(n):
    return " ".join(random.choice(words) for _ in range(n)) + "\r\n"
block = "".join(paragraph(12) for _ in range(2000)).encode("cp1252")
with open("latin-1252.txt", "wb") as f:
    for _ in range(100 * MiB // len(block)):
        f.write(block)
    f.write(block[: 100 * MiB % len(block)])
# (b) UTF-8 text: ASCII, Cyrillic, Greek and some CJK.
mix = ["plain ascii words here", "\u043f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440", "\u03b3\u03b5\u03b9\u03ac",
       "\u65e5\u672c\u8a9e\u306e\u6587", "numbers 12345"]
block = "".join(" ".join(random.choice(mix) for _ in range(8)) + "\n" for _ in range(2000)).encode("utf-8")
with open("mixed-utf8.txt", "wb") as f:
    for _ in range(100 * MiB // len(block)):
        f.write(block)
# (c) 20,000 files of 4 KiB in 200 folders.
small = (paragraph(10) * 64).encode("cp1252")[:4096]
for d in range(200):
    os.makedirs(f"tree/d{d:03}", exist_ok=True)
    for i in range(100):
        with open(f"tree/d{d:03}/f{i:03}.txt", "wb") as f:
            f.write(small)
PY
sync

# Best wall time of N runs of a command, in seconds.
best_of() {
  local n=$1; shift
  local best=""
  for ((i = 0; i < n; i++)); do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    best=$(awk -v a="$t0" -v b="$t1" -v m="$best" 'BEGIN { d = b - a; if (m == "" || d < m) m = d; printf "%.4f", m }')
  done
  echo "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v lim="$2" -v op="$3" 'BEGIN { ok = (op == "<=") ? v <= lim : v >= lim; print ok ? "ok" : "MISSED" }'; }
mbps() { awk -v s="$1" -v bytes="$2" 'BEGIN { printf "%.0f", bytes / 1048576 / s }'; }

size_a=$(stat -c %s latin-1252.txt)
size_b=$(stat -c %s mixed-utf8.txt)
runs=5

echo
echo "(a) 100 MiB Windows-1252 -> UTF-8"
t_morfex=$(best_of $runs "$morfex" latin-1252.txt /scs=windows-1252 /nobom /output=a-morfex.txt)
t_iconv=$(best_of $runs sh -c 'iconv -f CP1252 -t UTF-8 latin-1252.txt > a-iconv.txt')
t_cp=$(best_of $runs cp latin-1252.txt a-cp.txt)
cmp -s a-morfex.txt a-iconv.txt && same="identical to iconv's" || same="DIFFERENT from iconv's"
peak_kib=$(/usr/bin/time -f %M "$morfex" latin-1252.txt /scs=windows-1252 /nobom /output=a-morfex.txt 2>&1 >/dev/null | tail -1)
peak_ratio=$(awk -v k="$peak_kib" -v s="$size_a" 'BEGIN { printf "%.2f", k * 1024 / s }')
echo "  morfex ${t_morfex}s ($(mbps "$t_morfex" "$size_a") MiB/s), iconv ${t_iconv}s, cp ${t_cp}s; output $same"
echo "  iconv/morfex $(ratio "$t_iconv" "$t_morfex")x (target >= 3: $(verdict "$(ratio "$t_iconv" "$t_morfex")" 3 ">="))," \
     "morfex/cp $(ratio "$t_morfex" "$t_cp")x (target <= 2.5: $(verdict "$(ratio "$t_morfex" "$t_cp")" 2.5 "<="))"
echo "  peak memory $((peak_kib / 1024)) MiB = ${peak_ratio}x the file (target <= 3.3: $(verdict "$peak_ratio" 3.3 "<="))"

echo
echo "(b) 100 MiB UTF-8 -> UTF-16"
t_morfex=$(best_of $runs "$morfex" mixed-utf8.txt /scs=utf-8 /dcs=utf-16 /nobom /output=b-morfex.txt)
t_iconv=$(best_of $runs sh -c 'iconv -f UTF-8 -t UTF-16LE mixed-utf8.txt > b-iconv.txt')
t_cp=$(best_of $runs cp mixed-utf8.txt b-cp.txt)
cmp -s b-morfex.txt b-iconv.txt && same="identical to iconv's" || same="DIFFERENT from iconv's"
echo "  morfex ${t_morfex}s ($(mbps "$t_morfex" "$size_b") MiB/s), iconv ${t_iconv}s, cp ${t_cp}s; output $same"
echo "  iconv/morfex $(ratio "$t_iconv" "$t_morfex")x (target >= 3: $(verdict "$(ratio "$t_iconv" "$t_morfex")" 3 ">="))," \
     "morfex/cp $(ratio "$t_morfex" "$t_cp")x (target <= 2.5: $(verdict "$(ratio "$t_morfex" "$t_cp")" 2.5 "<="))"
rm -f a-*.txt b-*.txt

echo
echo "(c) 20,000 files of 4 KiB in 200 folders, one recursive run"
tree_run() { rm -rf out && mkdir out && "$morfex" 'tree/*.txt' /r "$@" /output=out; }
copy_tree() { rm -rf out && cp -r tree out; }
measure_tree() {
  local where=$1
  local t_given t_detect t_cp fps_given fps_detect
  t_given=$(best_of 3 tree_run /scs=windows-1252)
  t_detect=$(best_of 3 tree_run)
  local converted
  converted=$(find out -type f | wc -l)
  t_cp=$(best_of 3 copy_tree)
  fps_given=$(awk -v t="$t_given" 'BEGIN { printf "%.0f", 20000 / t }')
  fps_detect=$(awk -v t="$t_detect" 'BEGIN { printf "%.0f", 20000 / t }')
  echo "  $where: with /scs ${t_given}s = $fps_given files/s (target >= 5000: $(verdict "$fps_given" 5000 ">="));" \
       "with detection ${t_detect}s = $fps_detect files/s; cp -r ${t_cp}s = $(awk -v t="$t_cp" 'BEGIN { printf "%.0f", 20000 / t }') files/s;" \
       "$converted files written"
  rm -rf out
}
measure_tree "$(df --output=fstype . | tail -1) $work"
if [ "$(df --output=fstype "$disk" | tail -1)" != "$(df --output=fstype . | tail -1)" ]; then
  cp -r tree "$disk/tree"
  (cd "$disk" && measure_tree "$(df --output=fstype . | tail -1) $disk")
fi

echo
echo "GUI libraries in a batch run"
printf 'x' > one.txt
LD_DEBUG=libs LD_DEBUG_OUTPUT=$work/ld "$morfex" one.txt /scs=ansi /output=one-out.txt >/dev/null 2>&1 || true
"$morfex" one.txt /scs=ansi /output=one-out.txt >/dev/null 2>&1 || true
if grep -hq 'libQt6' "$work"/ld.* 2>/dev/null; then
  echo "  MISSED: a batch run loaded $(grep -ho 'libQt6[A-Za-z]*' "$work"/ld.* | sort -u | tr '\n' ' ')"
else
  echo "  ok: no libQt6* loaded ($(grep -ho 'calling init: [^ ]*' "$work"/ld.* | wc -l) libraries initialised)"
fi

echo
echo "Start-up: morfex --version"
if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 10 --runs 200 "$morfex --version" 2>/dev/null | sed -n '1,3p'
else
  t0=$(date +%s.%N)
  for ((i = 0; i < 100; i++)); do "$morfex" --version >/dev/null; done
  t1=$(date +%s.%N)
  ms=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", (b - a) * 10 }')
  echo "  ${ms} ms per run, loop of 100 (target < 5: $(verdict "$ms" 5 "<="))"
fi
