# Cross build for 64-bit Windows with Debian's mingw-w64. The posix thread model gives the standard
# library its threads and once-flags; everything is linked statically so that lumaclip.exe runs by
# itself, with nothing to install beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUMACLIP_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${LUMACLIP_MINGW_PREFIX}-g++-posix ${LUMACLIP_MINGW_PREFIX}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${LUMACLIP_MINGW_PREFIX}-gcc-posix ${LUMACLIP_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${LUMACLIP_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${LUMACLIP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine on this machine.
find_program(LUMACLIP_WINE NAMES wine64 wine)
if(LUMACLIP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMACLIP_WINE})
endif()
