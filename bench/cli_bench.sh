#!/usr/bin/env bash
# Speed and memory of the morfex command line on generated data, against iconv and cp in the
# same run. Builds the release preset first.
#   bash bench/cli_bench.sh [work-folder]
# The default work folder is new under /dev/shm (memory), so the shared disk's noise does not
# swamp the figures; (c) is measured on /tmp (disk) as well. Generated folders are removed after.
# Targets: (a) and (b) at least 3x faster than iconv and within 2.5x of cp; peak memory of (a)
# at most 3.3x the file size; (c) at least 5000 new files/s, replacing them at no less than
# half of that rate, and all cores at least 1.7x one worker on 2 cores; (d) 1 GiB within 1.5x
# of cat and 5x faster than iconv, worst of 3 within 1.5x of the best, peak memory at most 64 MiB; (e) a source of over 4 GiB converts; (f) (a)
# through pipes, peak memory at most 64 MiB; no GUI library in a batch run; --version under 5 ms.
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
morfex=$build/src/app/morfex

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
t_file_a=$t_morfex
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
echo "(c) 20,000 files of 4 KiB in 200 folders, one recursive run: new outputs, the same run over"
echo "    those outputs, and the sources in place (replacements are flushed, in batches)"
rate() { awk -v t="$1" 'BEGIN { printf "%.0f", 20000 / t }'; }
# Each measurement on a fresh copy of the tree, so every run meets the same files.
fresh_tree() { rm -rf run-tree out && cp -r "$1" run-tree && mkdir out && sync; }
timed() {
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }'
}
# Copies the folders of a tree with one cp per share of them, all at once.
parallel_cp() {
  local source=$1 destination=$2 processes=$3 k
  local -a folders=("$source"/*)
  local share=$(((${#folders[@]} + processes - 1) / processes))
  for ((k = 0; k < processes; k++)); do
    cp -r "${folders[@]:k*share:share}" "$destination" &
  done
  wait
}
measure_tree() {
  local where=$1 source=$2
  local best_new="" best_over="" best_replace="" best_one="" t
  # One worker, as every run converted before /jobs, is the yardstick of the pool: measured in
  # turn with the others, so that a noisy moment of the machine does not fall on one of them.
  for ((i = 0; i < 3; i++)); do
    fresh_tree "$source"
    t=$(timed "$morfex" 'run-tree/*.txt' /r /scs=windows-1252 /output=out)
    best_new=$(awk -v a="$t" -v m="$best_new" 'BEGIN { print (m == "" || a < m) ? a : m }')
    t=$(timed "$morfex" 'run-tree/*.txt' /r /scs=windows-1252 /output=out)
    best_over=$(awk -v a="$t" -v m="$best_over" 'BEGIN { print (m == "" || a < m) ? a : m }')
    t=$(timed "$morfex" 'run-tree/*.txt' /r /scs=windows-1252 /replace)
    best_replace=$(awk -v a="$t" -v m="$best_replace" 'BEGIN { print (m == "" || a < m) ? a : m }')
    fresh_tree "$source"
    t=$(timed "$morfex" 'run-tree/*.txt' /r /scs=windows-1252 /output=out /jobs=1)
    best_one=$(awk -v a="$t" -v m="$best_one" 'BEGIN { print (m == "" || a < m) ? a : m }')
  done
  local t_detect
  # What the file system itself gives several writers at once, the ceiling of the pool's ratio:
  # the tree copied by one cp, and by one cp per core, each with its share of the folders.
  local best_cp_one="" best_cp_all=""
  for ((i = 0; i < 3; i++)); do
    rm -rf cp-out && mkdir cp-out && sync
    t=$(timed cp -r "$source/." cp-out)
    best_cp_one=$(awk -v a="$t" -v m="$best_cp_one" 'BEGIN { print (m == "" || a < m) ? a : m }')
    rm -rf cp-out && mkdir cp-out && sync
    t=$(timed parallel_cp "$source" cp-out "$(nproc)")
    best_cp_all=$(awk -v a="$t" -v m="$best_cp_all" 'BEGIN { print (m == "" || a < m) ? a : m }')
  done
  rm -rf cp-out
  fresh_tree "$source"
  t_detect=$(timed "$morfex" 'run-tree/*.txt' /r /output=out)
  local worst_replace
  worst_replace=$(awk -v a="$best_over" -v b="$best_replace" 'BEGIN { print (a > b) ? a : b }')
  echo "  $where: new $(rate "$best_new") files/s (target >= 5000: $(verdict "$(rate "$best_new")" 5000 ">="))," \
       "over them $(rate "$best_over") files/s, in place $(rate "$best_replace") files/s;" \
       "new with detection $(rate "$t_detect") files/s"
  echo "    slower replacement / new $(ratio "$(rate "$worst_replace")" "$(rate "$best_new")")" \
       "(target >= 0.5: $(verdict "$(ratio "$(rate "$worst_replace")" "$(rate "$best_new")")" 0.5 ">="))"
  echo "    new with $(nproc) workers / one worker ($(rate "$best_one") files/s) $(ratio "$(rate "$best_new")" "$(rate "$best_one")")" \
       "(target >= 1.7 on 2 cores: $(verdict "$(ratio "$(rate "$best_new")" "$(rate "$best_one")")" 1.7 ">="));" \
       "the file system: $(nproc) cp at once / one cp $(ratio "$best_cp_one" "$best_cp_all")"
  rm -rf run-tree out
}
measure_tree "$(df --output=fstype . | tail -1) $work" "$work/tree"
cp -r tree "$disk/tree"
(cd "$disk" && measure_tree "$(df --output=fstype . | tail -1) $disk (the disk)" "$disk/tree")
# A journalled ext4 of its own, where it can be had (root, loop devices): the usual setting of a
# Linux disk, and free of what earlier runs left on the shared one.
loop_image=$(mktemp /tmp/glyphshift-bench-ext4-XXXXXX)
loop_dir=$(mktemp -d /tmp/glyphshift-bench-mnt-XXXXXX)
if truncate -s 1G "$loop_image" && mkfs.ext4 -q -F "$loop_image" 2>/dev/null &&
   mount -o loop "$loop_image" "$loop_dir" 2>/dev/null; then
  cp -r tree "$loop_dir/tree"
  (cd "$loop_dir" && measure_tree "journalled ext4 of its own" "$loop_dir/tree")
  umount "$loop_dir"
else
  echo "  (no ext4 of its own here: needs root and loop devices)"
fi
rm -rf "$loop_image" "$loop_dir"

echo
echo "(d) 1 GiB Windows-1252 -> UTF-8 into a new file on the disk: 3 runs each"
# cat from a file into a file copies inside the kernel (copy_file_range) where coreutils is 9.0 or
# newer: no read into memory and no write back out of it, which a conversion cannot skip.
python3 - "$disk/big-1252.txt" <<'PY'
import random, sys
random.seed(11)
words = ["conversion", "caf\u00e9", "na\u00efve", "r\u00e9sum\u00e9", "table", "file", "\u00fcber", "stra\u00dfe",
         "text", "line", "\u20ac", "se\u00f1or", "character", "set", "the", "and", "of", "data"]
block = "".join(" ".join(random.choice(words) for _ in range(12)) + "\r\n" for _ in range(2000)).encode("cp1252")
with open(sys.argv[1], "wb") as f:
    for _ in range((1 << 30) // len(block)):
        f.write(block)
    f.write(block[: (1 << 30) % len(block)])
PY
sync
big=$disk/big-1252.txt
size_d=$(stat -c %s "$big")
# In turn, so that a noisy moment of the machine does not fall on one of them alone; each starts
# with the disk idle, not writing back the gigabyte of the run before.
# The first writer after a gigabyte was freed may find that memory slow to touch again (on a
# virtual machine, whose host took it back): morfex and cat take turns at going first.
t_m=() t_c=() t_i=()
fresh_output() { rm -f "$disk/big-out.txt" && sync; }
run_morfex() { fresh_output && t_m+=("$(timed "$morfex" "$big" /scs=windows-1252 /nobom "/output=$disk/big-out.txt")"); }
run_cat() { fresh_output && t_c+=("$(timed sh -c "cat '$big' > '$disk/big-out.txt'")"); }
for ((i = 0; i < 3; i++)); do
  if ((i % 2 == 0)); then run_morfex && run_cat; else run_cat && run_morfex; fi
  fresh_output
  t_i+=("$(timed sh -c "iconv -f CP1252 -t UTF-8 '$big' > '$disk/big-out.txt'")")
done
rm -f "$disk/big-out.txt"
stats() { printf '%s\n' "$@" | sort -n | awk 'NR == 1 { b = $1 } { w = $1 } END { printf "%s %s", b, w }'; }
read -r m_best m_worst <<<"$(stats "${t_m[@]}")"
read -r c_best c_worst <<<"$(stats "${t_c[@]}")"
read -r i_best i_worst <<<"$(stats "${t_i[@]}")"
peak_kib=$(/usr/bin/time -f %M "$morfex" "$big" /scs=windows-1252 /nobom "/output=$disk/big-out.txt" 2>&1 >/dev/null | tail -1)
"$morfex" "$big" /scs=windows-1252 /nobom "/output=$disk/big-out.txt" >/dev/null
iconv -f CP1252 -t UTF-8 "$big" | cmp -s - "$disk/big-out.txt" && same="identical to iconv's" || same="DIFFERENT from iconv's"
rm -f "$disk/big-out.txt"
echo "  morfex best ${m_best}s ($(mbps "$m_best" "$size_d") MiB/s), worst ${m_worst}s; cat best ${c_best}s, worst ${c_worst}s;" \
     "iconv best ${i_best}s; output $same"
echo "  morfex/cat $(ratio "$m_best" "$c_best")x (target <= 1.5: $(verdict "$(ratio "$m_best" "$c_best")" 1.5 "<="))," \
     "worst/best $(ratio "$m_worst" "$m_best") (target <= 1.5, or no more than cat's own $(ratio "$c_worst" "$c_best"):" \
     "$(awk -v m="$(ratio "$m_worst" "$m_best")" -v c="$(ratio "$c_worst" "$c_best")" 'BEGIN { print (m <= 1.5 || m <= c) ? "ok" : "MISSED" }'))," \
     "iconv/morfex $(ratio "$i_best" "$m_best")x (target >= 5: $(verdict "$(ratio "$i_best" "$m_best")" 5 ">="))"
echo "  peak memory $((peak_kib / 1024)) MiB (target <= 64: $(verdict "$((peak_kib / 1024))" 64 "<="))"
rm -f "$big"

echo
echo "(e) a sparse source of 4 GiB + 1 KiB (zeros, Latin-1 -> UTF-8)"
sparse=$disk/sparse.txt
truncate -s $((4 * 1024 * 1024 * 1024 + 1024)) "$sparse"
# Zeros are binary data to the loss check: /binary asks for them all the same.
peak_kib=$(/usr/bin/time -f "%e %M" "$morfex" "$sparse" /scs=latin1 /binary "/output=$disk/sparse-out.txt" 2>&1 >/dev/null | tail -1)
out_size=$(stat -c %s "$disk/sparse-out.txt" 2>/dev/null || echo 0)
echo "  converted in $(echo "$peak_kib" | cut -d' ' -f1)s, peak memory $(($(echo "$peak_kib" | cut -d' ' -f2) / 1024)) MiB," \
     "output $out_size bytes ($([ "$out_size" -eq $((4 * 1024 * 1024 * 1024 + 1024 + 3)) ] && echo "the source and the mark: ok" || echo MISSED))"
rm -f "$sparse" "$disk/sparse-out.txt"

echo
echo "(f) the 100 MiB of (a) as a filter: a pipe in, a pipe out (spooled: memory, then a file)"
t_morfex=$(best_of $runs sh -c "cat latin-1252.txt | '$morfex' - /scs=windows-1252 /nobom > f-morfex.txt")
t_iconv=$(best_of $runs sh -c 'cat latin-1252.txt | iconv -f CP1252 -t UTF-8 > f-iconv.txt')
cmp -s f-morfex.txt f-iconv.txt && same="identical to iconv's" || same="DIFFERENT from iconv's"
peak_kib=$(cat latin-1252.txt | /usr/bin/time -f %M "$morfex" - /scs=windows-1252 /nobom 2>&1 >/dev/null | tail -1)
echo "  morfex ${t_morfex}s ($(mbps "$t_morfex" "$size_a") MiB/s), iconv ${t_iconv}s; output $same;" \
     "iconv/morfex $(ratio "$t_iconv" "$t_morfex")x, morfex filter / file $(ratio "$t_morfex" "$t_file_a")x"
echo "  peak memory $((peak_kib / 1024)) MiB (target <= 64, whatever the input's size: $(verdict "$((peak_kib / 1024))" 64 "<="))"
rm -f f-*.txt

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
