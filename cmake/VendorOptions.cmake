# Everything that is "fixed in the build": the vendor's service host names, the
# channel carried by the channel file, the cafe key and the CA bundle. Tests may
# configure other values; the defaults are the production ones.
set(VORN_VENDOR_DOMAIN "velto.corlanth.com" CACHE STRING "Vendor domain of the production services")

set(VORN_HOST_CLIENT_VERSION "api.${VORN_VENDOR_DOMAIN}" CACHE STRING "Client-version API host")
set(VORN_HOST_REPORT "report.${VORN_VENDOR_DOMAIN}" CACHE STRING "Report service host")
set(VORN_HOST_CAFE "bar.${VORN_VENDOR_DOMAIN}" CACHE STRING "Cafe-information service host (port 9186)")
set(VORN_HOST_AGREEMENT "www.${VORN_VENDOR_DOMAIN}" CACHE STRING "Host of the user-agreement page")
set(VORN_HOST_GREEN_PACKAGE "dl.${VORN_VENDOR_DOMAIN}" CACHE STRING "Green-package download host")

set(VORN_CHANNEL "vx_pc_000001" CACHE STRING "Channel identifier written into the channel file")
set(VORN_CHANNEL_KEY "morvek37" CACHE STRING "Key of the channel file cipher (8 characters)")

# Two 32-bit constants; the cafe service scrambles with the same 8 bytes.
set(VORN_CAFE_KEY_LOW "0x5A3C9E17" CACHE STRING "Cafe key bytes 1-4 (little endian)")
set(VORN_CAFE_KEY_HIGH "0xC4D2816B" CACHE STRING "Cafe key bytes 5-8 (little endian)")

# The installer's own version, four numbers: its version resource (file and
# product version) and its manifest's assembly version.
set(VORN_VERSION "1.0.0.0" CACHE STRING "Version of VeltoInstaller.exe (major.minor.patch.build)")
if(NOT VORN_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VORN_VERSION '${VORN_VERSION}' is not four numbers like 1.2.3.4")
endif()
set(VORN_VERSION_COMMAS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},${CMAKE_MATCH_4}")
foreach(_part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
  if(_part GREATER 65535)
    message(FATAL_ERROR "VORN_VERSION '${VORN_VERSION}': each number is at most 65535")
  endif()
endforeach()

set(VORN_CA_BUNDLE "/etc/ssl/certs/ca-certificates.crt" CACHE FILEPATH
    "PEM bundle embedded as the installer's CA file")

set(VORN_ALL_HOSTS
    ${VORN_HOST_CLIENT_VERSION} ${VORN_HOST_REPORT} ${VORN_HOST_CAFE}
    ${VORN_HOST_AGREEMENT} ${VORN_HOST_GREEN_PACKAGE})
list(REMOVE_DUPLICATES VORN_ALL_HOSTS)
string(JOIN " " VORN_ALL_HOSTS_TEXT ${VORN_ALL_HOSTS})
