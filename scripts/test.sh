#!/usr/bin/env bash
# Builds and runs every test: the dev build (AddressSanitizer + UndefinedBehaviorSanitizer,
# warnings as errors) under CTest; formatting and clang-tidy; the optimised build with its unit
# and end-to-end tests; the fuzz targets for a short, fixed time each; the Debian package from
# an optimised build with its install tests (scripts/package.sh); then the Windows build: 64-bit
# with its tests under Wine (label windows), 32-bit compiled and linked with its exports checked.
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

cmake --preset windows-x64
cmake --build --preset windows-x64 -j "$jobs"
ctest --preset windows-x64 -j "$jobs"

cmake --preset windows-x86
cmake --build --preset windows-x86 -j "$jobs"
for module in morfex.exe glyphshift.dll; do
  cmake -DLIBRARY="build/windows-x86/bin/$module" -DOBJDUMP=i686-w64-mingw32-objdump -P tests/api/check_exports.cmake
done
