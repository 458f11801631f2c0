# 64-bit big-endian Linux (IBM Z), with Debian's g++-s390x-linux-gnu.
# Runs here as: qemu-s390x-static -L /usr/s390x-linux-gnu build-s390x/kml
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
