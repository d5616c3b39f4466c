# Cross toolchain for the kernel build: Debian's MinGW-w64 compilers for 32-bit x86
# (gcc-mingw-w64-i686, g++-mingw-w64-i686) and the platform's published driver headers
# (mingw-w64-i686-dev). Selects the win32 variant of platform/ and the win32/ image build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(VEXACAM_MINGW_TRIPLE i686-w64-mingw32)
# The win32-threads flavour needs no threading runtime; either flavour links nothing of its
# own into the image because the image is linked with -nostdlib.
find_program(CMAKE_C_COMPILER NAMES ${VEXACAM_MINGW_TRIPLE}-gcc-win32 ${VEXACAM_MINGW_TRIPLE}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VEXACAM_MINGW_TRIPLE}-g++-win32 ${VEXACAM_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VEXACAM_MINGW_TRIPLE}-windres)
find_program(VEXACAM_DLLTOOL NAMES ${VEXACAM_MINGW_TRIPLE}-dlltool REQUIRED)
find_program(VEXACAM_OBJDUMP NAMES ${VEXACAM_MINGW_TRIPLE}-objdump REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXACAM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The compiler checks would link a user-mode program against the C runtime; a static
# library needs no runtime and no entry point.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(VEXACAM_WIN32_KERNEL ON CACHE BOOL "Build the driver image for the 32-bit Windows kernel")
