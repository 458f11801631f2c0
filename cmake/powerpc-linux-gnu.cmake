# 32-bit big-endian Linux (PowerPC), with Debian's g++-powerpc-linux-gnu.
# Runs here as: qemu-ppc-static -L /usr/powerpc-linux-gnu build-powerpc/kml
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(CMAKE_CXX_COMPILER powerpc-linux-gnu-g++)
