# Draws the skin's bitmaps and icons with resources/draw_skin.py into the
# build tree and makes quillary.rc depend on them. Included by the directory
# that compiles quillary.rc (program/), so that its source properties apply there.
#
# Each bitmap comes at 100 % (bitmap_NAME.bmp, a BITMAP resource) and at 125,
# 150 and 200 % (bitmap_NAME@125.png and so on, PNG resources, which keep the
# program a fraction of the size); the script also writes skin_bitmaps.rc,
# the lines that quillary.rc includes. --list names every file.
#
# The pictures are not kept in the repository: they are redrawn whenever the
# script, the list of numbers or the language file (whose start-button words
# they show) changes.

set(quillary_art_dir ${CMAKE_CURRENT_BINARY_DIR}/art)
set(quillary_art_script ${PROJECT_SOURCE_DIR}/resources/draw_skin.py)
set(quillary_art_inputs
    ${quillary_art_script}
    ${PROJECT_SOURCE_DIR}/resources/resource_ids.h
    ${PROJECT_SOURCE_DIR}/resources/language.ini)

# Debian's own interpreter first: it is the one that sees python3-pil.
find_program(QUILLARY_ART_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(QUILLARY_ART_PYTHON NAMES python3)
execute_process(
  COMMAND ${QUILLARY_ART_PYTHON} ${quillary_art_script} --list
  OUTPUT_VARIABLE quillary_art_files
  ERROR_VARIABLE quillary_art_error
  RESULT_VARIABLE quillary_art_result)
if(NOT quillary_art_result EQUAL 0)
  message(FATAL_ERROR "resources/draw_skin.py cannot run with ${QUILLARY_ART_PYTHON} "
                      "(it needs the Debian packages python3-pil, fonts-noto-core and "
                      "fonts-noto-cjk):\n${quillary_art_error}")
endif()
# The list of pictures changes with the script and the numbers: configure again then.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${quillary_art_inputs})

string(STRIP "${quillary_art_files}" quillary_art_files)
string(REPLACE "\n" ";" quillary_art_files "${quillary_art_files}")
list(TRANSFORM quillary_art_files PREPEND ${quillary_art_dir}/)

add_custom_command(
  OUTPUT ${quillary_art_files}
  COMMAND ${QUILLARY_ART_PYTHON} ${quillary_art_script} --out ${quillary_art_dir}
  DEPENDS ${quillary_art_inputs}
  COMMENT "Drawing the skin's bitmaps and icons"
  VERBATIM)
add_custom_target(quillary_skin_art DEPENDS ${quillary_art_files})

# windres finds the pictures, resource_ids_rc.h and skin_bitmaps.rc in the art
# folder; it does not report what a .rc file reads, so the dependency is
# stated here.
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/quillary.rc PROPERTIES
  INCLUDE_DIRECTORIES "${quillary_art_dir};${PROJECT_SOURCE_DIR}/resources"
  OBJECT_DEPENDS "${quillary_art_files};${PROJECT_SOURCE_DIR}/resources/quillary.manifest")
