# Tests of the toolkit's resource layer: zip archive, image and GIF decoding.
if(NOT TARGET vorn_ui)
  return()
endif()
set(_res ${CMAKE_CURRENT_LIST_DIR}/resource)
add_library(vorn_ui_resource_fixtures STATIC ${_res}/fixtures.cpp)
target_link_libraries(vorn_ui_resource_fixtures PUBLIC dep_zlib)
vorn_warnings(vorn_ui_resource_fixtures)

add_executable(ui_resource_tests
    ${_res}/zipresource_test.cpp
    ${_res}/imagedecoder_test.cpp
    ${_res}/gifdecoder_test.cpp)
target_link_libraries(ui_resource_tests PRIVATE vorn_test_main vorn_ui vorn_ui_resource_fixtures
    psapi shlwapi ole32)
vorn_warnings(ui_resource_tests)
vorn_wine_path(_skin_dir ${PROJECT_SOURCE_DIR}/res/skin)
set(_resource_args "--skin-dir=${_skin_dir}")
if(TARGET vorn_skin_archive AND DEFINED VORN_SKIN_ZIP)
  add_dependencies(ui_resource_tests vorn_skin_archive)
  vorn_wine_path(_skin_zip ${VORN_SKIN_ZIP})
  list(APPEND _resource_args "--skin-zip=${_skin_zip}")
endif()
vorn_wine_test(win32.ui.resource ui_resource_tests ARGS ${_resource_args})

# Not a test: prints decode time per frame and memory for movie.gif.
add_executable(gif_bench ${_res}/gif_bench.cpp)
target_link_libraries(gif_bench PRIVATE vorn_ui vorn_ui_resource_fixtures psapi shlwapi)
target_link_options(gif_bench PRIVATE -municode)
vorn_warnings(gif_bench)
