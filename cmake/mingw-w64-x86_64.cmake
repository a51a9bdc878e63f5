# Cross build for 64-bit Windows: Debian's clang++-16 targeting mingw-w64, with
# the headers and static libraries (libstdc++, winpthreads) of Debian's mingw-w64
# g++ (g++-mingw-w64-x86-64-posix, whose POSIX thread model gives std::thread).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Not that g++ itself: it emulates thread_local with a library call at every
# access, and the engine, whose board is thread_local, searched half as fast.
# clang uses Windows' own thread-local storage; clang 16 finds a thread-local's
# address once in a function where clang 14 does in every block that uses it
# (bench 6% faster).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER clang++-16)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
# C for Fathom, the Syzygy prober, compiled from its source
set(CMAKE_C_COMPILER clang-16)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_SYSROOT /usr/${triple})
# clang does not find g++'s folder by itself: its name (12-posix) is no version
file(GLOB gcc_folders /usr/lib/gcc/${triple}/*-posix)
if(NOT gcc_folders)
  message(FATAL_ERROR "no /usr/lib/gcc/${triple}/*-posix: install g++-mingw-w64-x86-64-posix (tools/install-deps.sh)")
endif()
list(SORT gcc_folders COMPARE NATURAL ORDER DESCENDING)
list(GET gcc_folders 0 gcc_folder)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${gcc_folder}/include/c++ -isystem ${gcc_folder}/include/c++/${triple}")
# GNU ld from mingw-w64's binutils; -B finds g++'s crtbegin.o and crtend.o. ld
# warns that a few type-information sections of libstdc++ differ in size from
# clang's: g++ pads them, their contents are the same.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=bfd -B${gcc_folder} -L${gcc_folder} -pthread")
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
