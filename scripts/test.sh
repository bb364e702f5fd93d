#!/usr/bin/env bash
# Builds and runs every test: the dev build (AddressSanitizer + UndefinedBehaviorSanitizer,
# warnings as errors) under CTest; formatting and clang-tidy; the optimised build with its unit
# and end-to-end tests; the fuzz targets for a short, fixed time each; then the Debian package
# from an optimised build with its install tests (scripts/package.sh).
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
