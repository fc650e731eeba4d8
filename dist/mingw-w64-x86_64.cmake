# Cross-building the viewer for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-win32):
#   cmake -S . -B build-windows/cross -DCMAKE_TOOLCHAIN_FILE=dist/mingw-w64-x86_64.cmake \
#         -DKESTRA_HOST_RUN_DIR=<native build>/run
# The win32 thread model, so that a static link needs no libwinpthread DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
