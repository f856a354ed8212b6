# Cross-builds the Windows programs with Debian's mingw-w64 (package g++-mingw-w64-x86-64-posix,
# whose -posix compilers have std::thread). Test programs run through Wine:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DQUIREFOLD_BUILD_GUI=OFF -DQUIREFOLD_GTEST_SOURCE_DIR=/usr/src/googletest
# scripts/test-windows.sh does all of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One self-contained .exe, without the compiler's runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Test discovery and the tests themselves run the programs under Wine.
find_program(QUIREFOLD_WINE NAMES wine wine64)
if(QUIREFOLD_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUIREFOLD_WINE})
endif()
