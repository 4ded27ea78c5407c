# Windows test programs run under Wine through the cross-compiling emulator:
# a wrapper that gives them a private prefix inside the build tree.
set(VORN_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
set(VORN_TESTENV ${PROJECT_SOURCE_DIR}/tools/testenv)
string(REGEX REPLACE "-.*" "" VORN_WINE_ARCH ${MINGW_TRIPLE})
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORN_TESTENV}/wine-run.sh --arch ${VORN_WINE_ARCH} --root ${VORN_WINE_ROOT})

# vorn_wine_test(NAME target [FRESH] [DISPLAY] [TIMEOUT s] [ARGS ...])
#   FRESH    the test gets its own copy of the prefix (registry, folders)
#   DISPLAY  a private Xvfb is started for it
#   LOCK     name of a resource the test must not share (e.g. the installer's mutex)
#   LOCALE   the Unix locale Wine runs under, e.g. hi_IN.UTF-8 for ANSI code page
#            65001 (tools/testenv/wine-env.sh); the test gets its own prefix
# The program is ended a little before ctest's own time-out, so that wine-run.sh
# rather than ctest ends it and its Wine processes.
function(vorn_wine_test name target)
  cmake_parse_arguments(W "FRESH;DISPLAY" "TIMEOUT;LOCK;LOCALE" "ARGS" ${ARGN})
  add_test(NAME ${name} COMMAND ${target} ${W_ARGS})
  set(env "WINEDEBUG=-all")
  if(W_LOCALE)
    list(APPEND env "VORN_WINE_LOCALE=${W_LOCALE}")
    set(W_FRESH ON)
  endif()
  if(W_FRESH)
    list(APPEND env "VORN_WINE_FRESH=1")
  endif()
  if(W_DISPLAY)
    list(APPEND env "VORN_WINE_DISPLAY=1")
  endif()
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 300)
  endif()
  math(EXPR limit "${W_TIMEOUT} - 15")
  list(APPEND env "VORN_WINE_TIMEOUT=${limit}")
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${W_TIMEOUT})
  if(W_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${W_LOCK})
  endif()
endfunction()

# A Windows path for a file of the build tree (Wine maps Z: to /).
function(vorn_wine_path out path)
  string(REPLACE "/" "\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()
