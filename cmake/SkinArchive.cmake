# The skin archive: every file of res/skin/ at the root of a deflated zip,
# compiled into the installer as ZIPRES 102. Included by the project, this file
# sets VORN_SKIN_ZIP and the target vorn_skin_archive; run with -P it packs.
set(VORN_SKIN_ZIP_LIMIT 1572864)  # 1.5 MiB: the archive is opened from memory

if(CMAKE_SCRIPT_MODE_FILE)
  # cmake -DPYTHON=... -DSKIN_DIR=... -DSKIN_ZIP=... -DSKIN_LIST=... -P SkinArchive.cmake
  file(READ ${SKIN_LIST} names)
  string(STRIP "${names}" names)
  string(REPLACE "\n" ";" names "${names}")
  file(REMOVE ${SKIN_ZIP}.tmp)
  # Sorted names, a fixed time stamp and no extra fields (cmake -E tar would
  # store access and change times): the same skin gives the same bytes.
  set(pack [=[
import sys, zipfile
out, folder, names = sys.argv[1], sys.argv[2], sys.argv[3:]
with zipfile.ZipFile(out, "w") as z:
    for n in names:
        info = zipfile.ZipInfo(n, date_time=(2024, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o100644 << 16
        with open(folder + "/" + n, "rb") as f:
            z.writestr(info, f.read(), compresslevel=9)
]=])
  execute_process(
      COMMAND ${PYTHON} -c "${pack}" ${SKIN_ZIP}.tmp ${SKIN_DIR} ${names}
      RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "packing the skin archive failed (${rc})")
  endif()
  file(SIZE ${SKIN_ZIP}.tmp size)
  if(size GREATER_EQUAL VORN_SKIN_ZIP_LIMIT)
    file(REMOVE ${SKIN_ZIP}.tmp)
    message(FATAL_ERROR "skin archive is ${size} bytes, the limit is ${VORN_SKIN_ZIP_LIMIT}")
  endif()
  file(RENAME ${SKIN_ZIP}.tmp ${SKIN_ZIP})
  message(STATUS "skin archive: ${size} bytes")
  return()
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_skin_dir ${PROJECT_SOURCE_DIR}/res/skin)
file(GLOB _skin_files LIST_DIRECTORIES false CONFIGURE_DEPENDS ${_skin_dir}/*)
list(SORT _skin_files)
set(_skin_names "")
foreach(f IN LISTS _skin_files)
  get_filename_component(n ${f} NAME)
  list(APPEND _skin_names ${n})
endforeach()
if(NOT _skin_names)
  message(FATAL_ERROR "no skin files in ${_skin_dir}")
endif()

set(VORN_SKIN_ZIP ${CMAKE_BINARY_DIR}/generated/res/skin.zip)
set(_skin_list ${CMAKE_BINARY_DIR}/generated/res/skin-files.txt)
string(REPLACE ";" "\n" _skin_text "${_skin_names}")
file(CONFIGURE OUTPUT ${_skin_list} CONTENT "${_skin_text}\n")

add_custom_command(
    OUTPUT ${VORN_SKIN_ZIP}
    COMMAND ${CMAKE_COMMAND} -DPYTHON=${Python3_EXECUTABLE} -DSKIN_DIR=${_skin_dir} -DSKIN_ZIP=${VORN_SKIN_ZIP}
            -DSKIN_LIST=${_skin_list} -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS ${_skin_files} ${_skin_list} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Packing the skin archive")
add_custom_target(vorn_skin_archive DEPENDS ${VORN_SKIN_ZIP})
