# mingw-w64, posix thread model (std::thread, std::mutex). Included by the
# per-target toolchain files, which set MINGW_TRIPLE and the processor.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

include(${CMAKE_CURRENT_LIST_DIR}/DepsDir.cmake)
set(VORN_DEPS_DIR ${VORN_DEPS_DIR} CACHE PATH "Cache of the third-party libraries built for mingw")

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${VORN_DEPS_DIR}/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
