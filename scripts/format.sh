#!/usr/bin/env bash
# Formats the C and C++ sources with .clang-format; with --check, changes nothing and fails when
# a file is not formatted (CI). The generated tables keep their generator's layout.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h' | grep -v 'mapping_tables\.generated\.cpp$')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
  echo "formatting: ${#files[@]} files as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
