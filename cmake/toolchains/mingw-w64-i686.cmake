# Cross build for 32-bit Windows with Debian's MinGW-w64 compilers (g++-mingw-w64-i686-posix).
# The tests run under Wine too: Debian's wine32 (i386) beside wine64 runs 32-bit programs in the
# same prefix, with the same wineserver.
set(GLYPHSHIFT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
