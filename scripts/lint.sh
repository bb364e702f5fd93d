#!/usr/bin/env bash
# The habits CI checks: every source formatted as .clang-format says, and the focused
# clang-tidy set of .clang-tidy clean over the sources of src/ that build dir $1 (default
# build/dev, configured) compiles.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
bash scripts/format.sh --check
commands="$build/compile_commands.json"
[ -f "$commands" ] || { echo "lint: $commands is missing; configure $build first" >&2; exit 1; }
mapfile -t sources < <(git ls-files 'src/*.cpp' | grep -v '\.generated\.cpp$' |
  while read -r f; do if grep -qF "\"file\": \"$PWD/$f\"" "$commands"; then echo "$f"; fi; done)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# The compile commands carry GCC's options; those clang does not know (-Wno-restrict) are no finding.
printf '%s\n' "${sources[@]}" |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option >"$log" 2>&1 ||
  status=$?
grep -v 'warnings\? generated\.$' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: ${#sources[@]} files clean"
