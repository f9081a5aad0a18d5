# System DLLs the program needs only after its window shows (the device
# scan, signatures and catalogs, accessibility clients and their variants,
# the transfers' TLS, GDI+ for the charts and the larger scales' pictures)
# are linked through delay-load import libraries: each DLL is loaded by the
# first call into it instead of with the process, so that loading and
# initialising it is not part of the start-up. The Windows loader's helper
# is mingw-w64's delayimp.
#
# quillary_delay_loaded_library(NAME) makes quillary::NAME, to be linked
# instead of NAME. Its import library is made at configure time from the
# mingw-w64 one (the functions it exports; data cannot be delay-loaded and
# is left out).
include_guard(GLOBAL)

find_program(QUILLARY_DLLTOOL NAMES ${QUILLARY_MINGW_HOST}-dlltool REQUIRED)

function(quillary_delay_loaded_library name)
  find_file(import_${name} lib${name}.a PATHS /usr/${QUILLARY_MINGW_HOST}/lib NO_DEFAULT_PATH REQUIRED)
  set(folder ${CMAKE_BINARY_DIR}/delay-load)
  set(def ${folder}/${name}.def)
  set(library ${folder}/lib${name}_delay.a)
  if(NOT EXISTS ${library} OR ${import_${name}} IS_NEWER_THAN ${library})
    file(MAKE_DIRECTORY ${folder})
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_${name}} OUTPUT_VARIABLE symbols
                    COMMAND_ERROR_IS_FATAL ANY)
    # A function has its thunk ("T name") beside its import pointer.
    string(REGEX MATCHALL "T [A-Za-z_][A-Za-z0-9_@?$]*" thunks "${symbols}")
    set(exports "")
    foreach(thunk IN LISTS thunks)
      string(SUBSTRING "${thunk}" 2 -1 function)
      string(FIND "${symbols}" "I __imp_${function}\n" pointer)
      if(pointer GREATER -1)
        string(APPEND exports "${function}\n")
      endif()
    endforeach()
    file(WRITE ${def} "LIBRARY ${name}.dll\nEXPORTS\n${exports}")
    execute_process(COMMAND ${QUILLARY_DLLTOOL} --input-def ${def} --dllname ${name}.dll --output-delaylib ${library}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  add_library(quillary_delay_loaded_${name} INTERFACE)
  # The import library after it for what it does not have: the few static
  # objects some of them hold (data imports would still load the DLL at
  # start).
  target_link_libraries(quillary_delay_loaded_${name} INTERFACE ${library} delayimp ${name})
  add_library(quillary::${name} ALIAS quillary_delay_loaded_${name})
endfunction()

foreach(name setupapi cfgmgr32 crypt32 wintrust bcrypt oleacc winmm gdiplus oleaut32 shlwapi)
  quillary_delay_loaded_library(${name})
endforeach()
