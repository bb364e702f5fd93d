#!/usr/bin/env bash
# Runs every fuzz target in build dir $1 for $2 seconds each, starting from a copy of its seed
# corpus in fuzz/corpus/<name> (libFuzzer adds what it finds to the first corpus directory).
set -euo pipefail
build=$1 seconds=$2
seeds_root="$(cd "$(dirname "$0")" && pwd)/corpus"
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT
  if [ -d "$seeds_root/${name#fuzz_}" ]; then cp -r "$seeds_root/${name#fuzz_}/." "$corpus/"; fi
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
  rm -rf "$corpus"
done
