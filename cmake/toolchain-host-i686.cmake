# 32-bit x86 Linux build of host/, camera/, tools/ and the tests (host-i686 preset), to run the
# driver with the platform's 32-bit record layouts and calling conventions, and to load the
# kernel image itself. Debian's g++-multilib compiles it. A 64-bit kernel need not run 32-bit
# programs, so every program runs under qemu-user (qemu-i386), CTest's emulator included.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# SSE2 arithmetic for doubles, as the 64-bit build computes them: the host's results are the
# reference the image's x87 arithmetic is compared with. 64-bit file offsets and inode numbers:
# without them readdir and stat fail with EOVERFLOW on file systems with large inode numbers.
# The platform's 64-bit integers carry 8-byte alignment (platform/types.h); as a template
# argument (std::vector<LONGLONG>) the attribute is dropped, which is harmless there.
# The image calls into the host with the stack aligned to 4 bytes only (the kernel's rule), so
# host code realigns where it needs more.
set(VEXACAM_I686_FLAGS "-m32 -march=i686 -msse2 -mfpmath=sse -D_FILE_OFFSET_BITS=64 \
-Wno-ignored-attributes -mincoming-stack-boundary=2")
set(CMAKE_C_FLAGS_INIT "${VEXACAM_I686_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${VEXACAM_I686_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")

find_program(VEXACAM_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXACAM_QEMU_I386})

set(VEXACAM_HOST_I686 ON CACHE BOOL "32-bit host build with the platform's calling conventions")
