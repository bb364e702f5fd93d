# Cross build for 32-bit Windows with Debian's MinGW-w64 compilers (g++-mingw-w64-i686-posix).
# Wine from Debian's wine64 package runs 64-bit programs only, so this build is checked by
# compiling and linking; its tests run in the 64-bit build.
set(GLYPHSHIFT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
