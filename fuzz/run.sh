#!/usr/bin/env bash
# Runs every fuzz target in build dir $1 for $2 seconds each.
set -euo pipefail
build=$1 seconds=$2
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  echo "== $(basename "$target") for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1
done
