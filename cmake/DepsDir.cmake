# Where tools/setup/build-mingw-deps.sh keeps the third-party libraries it
# built (and their unpacked sources): VORN_DEPS_DIR, from the cache, the
# environment, or the default.
if(NOT DEFINED VORN_DEPS_DIR)
  if(DEFINED ENV{VORN_DEPS_DIR})
    set(VORN_DEPS_DIR $ENV{VORN_DEPS_DIR})
  else()
    set(VORN_DEPS_DIR /var/cache/vorn-deps)
  endif()
endif()
