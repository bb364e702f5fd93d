#!/usr/bin/env bash
# The statistical detector of engine/charset_guess.h, measured in one go:
#   bash bench/detector_bench.sh [corpus-folder]
# 1. every table: held-out Debian texts encoded through each of the 59 tables (bench/detector_tables.py);
# 2. the run's detection on the shared corpus (default ../shared/test-corpus beside the repository);
# 3. the time for a 64 KiB sample (the held-out samples of step 1, and random bytes).
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=$(realpath "${1:-$PWD/../shared/test-corpus}")
build=build/detector-bench
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target detector_bench >/dev/null
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
python3 bench/detector_tables.py --bench "$build/bench/detector_bench" --keep "$samples"
echo
"$build/bench/detector_bench" corpus "$corpus"
echo
"$build/bench/detector_bench" speed "$samples"/17-uk-8000.txt "$samples"/00-de-8000.txt "$samples"/24-vi-8000.txt \
  "$samples"/10-th-8000.txt "$samples"/56-es-8000.txt "$samples"/mb-shift_jis-8000.txt "$samples"/mb-big5-8000.txt
