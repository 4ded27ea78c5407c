# Third-party libraries for mingw, from the cache that tools/setup/build-mingw-deps.sh fills.
set(_deps ${VORN_DEPS_DIR}/${MINGW_TRIPLE})
if(NOT EXISTS ${_deps}/openssl/lib/libssl.a)
  message(FATAL_ERROR "mingw libraries missing in ${_deps}: run tools/setup/build-mingw-deps.sh")
endif()

function(_vorn_static name dir lib)
  add_library(${name} STATIC IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES
      IMPORTED_LOCATION ${_deps}/${dir}/lib/${lib}
      INTERFACE_INCLUDE_DIRECTORIES ${_deps}/${dir}/include)
endfunction()

_vorn_static(dep_crypto openssl libcrypto.a)
set_property(TARGET dep_crypto PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 crypt32)
_vorn_static(dep_ssl openssl libssl.a)
set_property(TARGET dep_ssl PROPERTY INTERFACE_LINK_LIBRARIES dep_crypto)
_vorn_static(dep_jsoncpp jsoncpp libjsoncpp.a)
_vorn_static(dep_cjson cjson libcjson.a)
# Built so; without it the header would export cJSON from the executable.
set_property(TARGET dep_cjson PROPERTY INTERFACE_COMPILE_DEFINITIONS CJSON_HIDE_SYMBOLS)
_vorn_static(dep_pugixml pugixml libpugixml.a)
_vorn_static(dep_lzma7z lzma7z liblzma7z.a)
set_property(TARGET dep_lzma7z PROPERTY INTERFACE_INCLUDE_DIRECTORIES ${_deps}/lzma7z/include/lzma7z)
add_library(dep_zlib STATIC IMPORTED GLOBAL)
set_target_properties(dep_zlib PROPERTIES IMPORTED_LOCATION /usr/${MINGW_TRIPLE}/lib/libz.a)
_vorn_static(dep_minizip minizip libminizip.a)
set_property(TARGET dep_minizip PROPERTY INTERFACE_LINK_LIBRARIES dep_zlib)

add_library(dep_httplib INTERFACE IMPORTED GLOBAL)
set_target_properties(dep_httplib PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_deps}/cpp-httplib/include
    INTERFACE_COMPILE_DEFINITIONS "CPPHTTPLIB_OPENSSL_SUPPORT;CPPHTTPLIB_RECV_BUFSIZ=size_t(262144)"
    INTERFACE_LINK_LIBRARIES "dep_ssl;ws2_32;crypt32")

# Every Windows binary: static runtime, no DLL beside the executable.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++)
# The C libraries are built with a section per function and datum and without
# unwind tables: the linker keeps only what is used.
add_link_options(-Wl,--gc-sections)
# 64-bit images are large-address aware already, and x86_64 ld rejects the flag.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_link_options(-Wl,--large-address-aware)
endif()
