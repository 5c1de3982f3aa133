# Shared settings of both mingw-w64 toolchains; TINTMARK_MINGW_TRIPLE is set
# by the including file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TINTMARK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TINTMARK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TINTMARK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TINTMARK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No libgcc, libstdc++ or winpthread DLLs next to the program, nor next to a
# DLL we build: the i686 runtime otherwise brings in libgcc_s_dw2-1.dll, which
# no Windows has, and such a DLL does not load at all.
set(TINTMARK_MINGW_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${TINTMARK_MINGW_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${TINTMARK_MINGW_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${TINTMARK_MINGW_STATIC_RUNTIME}")
