# Cross-compiling for 64-bit Windows with mingw-w64 (Debian's
# g++-mingw-w64-x86-64). The posix thread model is chosen explicitly: it gives
# std::mutex, which GoogleTest needs; winpthread is linked statically with
# everything else.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMORA_MINGW_PREFIX x86_64-w64-mingw32)
find_program(VELMORA_MINGW_CXX NAMES ${VELMORA_MINGW_PREFIX}-g++-posix ${VELMORA_MINGW_PREFIX}-g++ REQUIRED)
find_program(VELMORA_MINGW_CC NAMES ${VELMORA_MINGW_PREFIX}-gcc-posix ${VELMORA_MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW_CXX})
set(CMAKE_C_COMPILER ${VELMORA_MINGW_CC})
set(CMAKE_RC_COMPILER ${VELMORA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every executable is linked statically: the C++ runtime, libgcc and
# winpthread end up inside the .exe, so it needs only DLLs that Windows ships.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and tools built for Windows are run under Wine.
find_program(VELMORA_WINE NAMES wine)
if(VELMORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORA_WINE})
endif()
