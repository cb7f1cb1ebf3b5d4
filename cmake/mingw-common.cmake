# Shared by both mingw-w64 toolchain files; PLOVE_MINGW_TRIPLE is set by them.
set(CMAKE_C_COMPILER ${PLOVE_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${PLOVE_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${PLOVE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PLOVE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Everything static: no mingw DLLs have to travel with the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
