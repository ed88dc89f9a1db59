# Cross build for 32-bit Windows with mingw-w64: the release program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The C++ and threading runtimes are linked in, so the program imports system DLLs only.
# Large address aware: on 64-bit Windows the process gets 4 GiB of addresses instead of 2,
# room to map a speech file of a gigabyte or more.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--large-address-aware")

# The release carries no symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
