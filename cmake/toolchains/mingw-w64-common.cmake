# Shared part of the MinGW-w64 toolchain files; GLYPHSHIFT_MINGW_TRIPLET names the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${GLYPHSHIFT_MINGW_TRIPLET})

# The posix thread model gives the C++ runtime its threads; linked statically below, so no
# MinGW DLL has to travel with the program.
foreach(tool IN ITEMS gcc g++)
  find_program(GLYPHSHIFT_MINGW_${tool} NAMES ${GLYPHSHIFT_MINGW_TRIPLET}-${tool}-posix ${GLYPHSHIFT_MINGW_TRIPLET}-${tool})
endforeach()
if(NOT GLYPHSHIFT_MINGW_gcc OR NOT GLYPHSHIFT_MINGW_g++)
  string(REPLACE "_" "-" glyphshift_mingw_arch ${CMAKE_SYSTEM_PROCESSOR})
  message(FATAL_ERROR "No ${GLYPHSHIFT_MINGW_TRIPLET} compilers: install the Debian package "
    "g++-mingw-w64-${glyphshift_mingw_arch}-posix (scripts/install-deps.sh installs it)")
endif()
set(CMAKE_C_COMPILER ${GLYPHSHIFT_MINGW_gcc})
set(CMAKE_CXX_COMPILER ${GLYPHSHIFT_MINGW_g++})
set(CMAKE_RC_COMPILER ${GLYPHSHIFT_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GLYPHSHIFT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC keeps vector spills 32- and 64-byte aligned, which the Windows stack (16 bytes on x64, 4 on
# x86) does not guarantee: the assembler turns aligned vector moves into unaligned ones, so the
# AVX paths cannot fault on a misaligned spill.
# (set, not appended: CMake reads a toolchain file more than once.)
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# Static runtime: libgcc, libstdc++ and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# The tests of both builds run through a wrapper that keeps one Wine prefix and one wineserver
# for all the test runs, 64-bit and 32-bit alike.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
