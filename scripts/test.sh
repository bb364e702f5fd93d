#!/usr/bin/env bash
# Builds and runs every test: the dev build (AddressSanitizer + UndefinedBehaviorSanitizer,
# warnings as errors) under CTest; formatting and clang-tidy; the optimised build with its unit
# and end-to-end tests; the fuzz targets for a short, fixed time each; the Debian package from
# an optimised build with its install tests (scripts/package.sh); then both Windows builds, 64-bit
# and 32-bit, each with the same tests under Wine (label windows).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
cmake --preset dev
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"
bash scripts/lint.sh build/dev

cmake --preset release
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs"

cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
bash fuzz/run.sh build/fuzz "${GLYPHSHIFT_FUZZ_SECONDS:-20}"

bash scripts/package.sh

# Both Windows builds first, then their tests back to back: one Wine prefix and one wineserver
# serve both (cmake/toolchains/wine-run.sh), and the time each test run takes is printed. Wine
# itself now and then fails to start a program (exit status, no output at all, about once in
# thousands of starts), so their presets run a failed test once more; a fault of ours fails twice.
for arch in x64 x86; do
  cmake --preset "windows-$arch"
  cmake --build --preset "windows-$arch" -j "$jobs"
done
for arch in x64 x86; do
  # The 32-bit tests need a kernel that runs 32-bit programs; without one they cannot start.
  if [ "$arch" = x86 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "Windows tests (x86) under Wine: NOT RUN - this kernel cannot start 32-bit programs" \
         "(/usr/lib/wine/wine: exec format error); the x86 build was compiled only" >&2
    continue
  fi
  start=$SECONDS
  ctest --preset "windows-$arch" -j "$jobs"
  echo "Windows tests ($arch) under Wine: $((SECONDS - start)) s"
done
