# Cross build for 64-bit Windows with Debian's MinGW-w64 (tools/setup windows):
#
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
#
# The compilers with POSIX threads, so that std::thread works. Programs are
# linked statically, the C++ runtime and winpthread included, so that they
# load only Windows's own DLLs. The test programs run under Wine, in a prefix
# in the build folder (tools/wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ROUTALO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ROUTALO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ROUTALO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ROUTALO_MINGW_TRIPLET}-windres)

# Headers and libraries from the MinGW-w64 tree alone; programs that the build
# runs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ROUTALO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH ROUTALO_SOURCE_ROOT)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ROUTALO_SOURCE_ROOT}/tools/wine-run ${CMAKE_BINARY_DIR}/wine-prefix)
