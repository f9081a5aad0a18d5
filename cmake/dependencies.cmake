# The libraries the program links, as imported targets that look the same in
# both builds:
#   quillary::curl  quillary::zlib  quillary::minizip  quillary::tinyxml  quillary::sodium
# and, natively only, quillary::mspack  quillary::deflate
# Natively they are Debian's -dev packages; for Windows, the static builds
# that scripts/build-windows-deps puts in the dependency cache.
include_guard(GLOBAL)

# The Windows program is one static executable: no zlib1.dll beside it.
# (Set before libcurl's package looks for zlib on its own.)
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()

if(WIN32)
  find_package(CURL CONFIG REQUIRED)
  add_library(quillary::curl ALIAS CURL::libcurl)
  # The transfers' system DLLs load with the first transfer.
  include(${CMAKE_CURRENT_LIST_DIR}/delay_load.cmake)
  get_target_property(curl_libraries CURL::libcurl INTERFACE_LINK_LIBRARIES)
  foreach(name crypt32 bcrypt winmm)
    list(TRANSFORM curl_libraries REPLACE "^\\$<LINK_ONLY:${name}>$" "$<LINK_ONLY:quillary::${name}>")
  endforeach()
  set_target_properties(CURL::libcurl PROPERTIES INTERFACE_LINK_LIBRARIES "${curl_libraries}")
else()
  find_package(CURL REQUIRED)
  add_library(quillary::curl ALIAS CURL::libcurl)
endif()

find_package(ZLIB REQUIRED)
add_library(quillary::zlib ALIAS ZLIB::ZLIB)

find_path(QUILLARY_MINIZIP_INCLUDE minizip/unzip.h REQUIRED)
find_library(QUILLARY_MINIZIP_LIBRARY minizip REQUIRED)
add_library(quillary_minizip INTERFACE)
target_include_directories(quillary_minizip INTERFACE ${QUILLARY_MINIZIP_INCLUDE})
target_link_libraries(quillary_minizip INTERFACE ${QUILLARY_MINIZIP_LIBRARY} ZLIB::ZLIB)
add_library(quillary::minizip ALIAS quillary_minizip)

find_path(QUILLARY_TINYXML_INCLUDE tinyxml.h REQUIRED)
find_library(QUILLARY_TINYXML_LIBRARY tinyxml REQUIRED)
add_library(quillary_tinyxml INTERFACE)
target_include_directories(quillary_tinyxml INTERFACE ${QUILLARY_TINYXML_INCLUDE})
target_link_libraries(quillary_tinyxml INTERFACE ${QUILLARY_TINYXML_LIBRARY})
# The library is built with STL strings; the header must agree.
target_compile_definitions(quillary_tinyxml INTERFACE TIXML_USE_STL)
add_library(quillary::tinyxml ALIAS quillary_tinyxml)

# libsodium: Ed25519 and BLAKE2b for the publishers' package signatures.
find_path(QUILLARY_SODIUM_INCLUDE sodium.h REQUIRED)
find_library(QUILLARY_SODIUM_LIBRARY NAMES libsodium.a sodium REQUIRED)
add_library(quillary_sodium INTERFACE)
target_include_directories(quillary_sodium INTERFACE ${QUILLARY_SODIUM_INCLUDE})
target_link_libraries(quillary_sodium INTERFACE ${QUILLARY_SODIUM_LIBRARY})
if(WIN32)
  # The static library's header must not declare its functions dllimport.
  target_compile_definitions(quillary_sodium INTERFACE SODIUM_STATIC)
endif()
add_library(quillary::sodium ALIAS quillary_sodium)

# libmspack: cabinet (.cab) packages, natively (the service and the native
# client). The Windows build reads cabinets through Windows' own
# SetupIterateCabinetW instead.
if(NOT WIN32)
  find_path(QUILLARY_MSPACK_INCLUDE mspack.h REQUIRED)
  find_library(QUILLARY_MSPACK_LIBRARY mspack REQUIRED)
  add_library(quillary_mspack INTERFACE)
  target_include_directories(quillary_mspack INTERFACE ${QUILLARY_MSPACK_INCLUDE})
  target_link_libraries(quillary_mspack INTERFACE ${QUILLARY_MSPACK_LIBRARY})
  add_library(quillary::mspack ALIAS quillary_mspack)
endif()

# libdeflate: the service inflates the INF files of a catalogue's archives
# whole, a buffer at a time, in about half the time zlib takes (native only:
# the Windows program reads packages through minizip).
if(NOT WIN32)
  find_path(QUILLARY_DEFLATE_INCLUDE libdeflate.h REQUIRED)
  find_library(QUILLARY_DEFLATE_LIBRARY deflate REQUIRED)
  add_library(quillary_deflate INTERFACE)
  target_include_directories(quillary_deflate INTERFACE ${QUILLARY_DEFLATE_INCLUDE})
  target_link_libraries(quillary_deflate INTERFACE ${QUILLARY_DEFLATE_LIBRARY})
  add_library(quillary::deflate ALIAS quillary_deflate)
endif()
