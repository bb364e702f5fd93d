# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (g++-mingw-w64-x86-64-posix).
# The tests run under Wine (Debian's wine64), which CTest uses as the emulator.
set(GLYPHSHIFT_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# GCC keeps vector spills 32- and 64-byte aligned, which the Windows x64 stack (16 bytes) does
# not guarantee: the assembler turns aligned vector moves into unaligned ones, so the AVX-512
# paths cannot fault on a misaligned spill.
string(APPEND CMAKE_C_FLAGS_INIT " -Wa,-muse-unaligned-vector-move")
string(APPEND CMAKE_CXX_FLAGS_INIT " -Wa,-muse-unaligned-vector-move")
# Through a wrapper that keeps one Wine prefix and one wineserver for all the test runs.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
