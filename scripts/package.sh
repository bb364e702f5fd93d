#!/usr/bin/env bash
# Builds the Debian packages libglyphshift1, libglyphshift-dev, glyphshift and glyphshift-gui
# (<name>_<version>_<arch>.deb) in build/pkg: an optimised build with Debian's hardening flags,
# then the install tests, which install into a temporary prefix, check what a user of the program
# and of the library meets, build the packages with CPack and check them (lintian, contents,
# dependencies, each package used on its own).
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# Debian's flags (stack protector, fortify, relro, now) without its -O2 and -g: the build type
# gives the optimisation, and the package is stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP="-g -O2" DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cmake --preset package \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build --preset package -j "$(nproc)"
ctest --preset package -j "$(nproc)"
ls -1 build/pkg/*.deb
