# Cross-compiles for 64-bit Windows with Debian's mingw-w64, posix thread model
# (the win32 model has no std::thread or std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLARY_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLARY_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLARY_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLARY_MINGW_HOST}-windres)
set(CMAKE_AR ${QUILLARY_MINGW_HOST}-ar)
set(CMAKE_RANLIB ${QUILLARY_MINGW_HOST}-ranlib)

# Libraries come from the mingw-w64 sysroot and from the cache of Windows
# libraries that scripts/build-windows-deps fills.
if(DEFINED ENV{QUILLARY_DEPS})
  set(QUILLARY_DEPS "$ENV{QUILLARY_DEPS}")
else()
  set(QUILLARY_DEPS /opt/quillary-deps)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLARY_MINGW_HOST} ${QUILLARY_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
