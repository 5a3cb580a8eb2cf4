# What both Windows toolchain files share: Debian's mingw-w64 compilers for
# the target that VELT_MINGW_PREFIX names. The "-posix" flavour is the one
# whose C++ library has std::thread and std::mutex. Programs are linked
# statically, so that they run (on Windows, or under Wine) without the
# compiler's run-time DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
