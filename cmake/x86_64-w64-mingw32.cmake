# 64-bit Windows, with Debian's g++-mingw-w64-x86-64-posix. Linked statically: kml.exe
# needs no DLL beyond Windows' own. Runs here as: wine build-windows/kml.exe
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
