# halvix_control(): one test control module (.OCX) of the suite on the control
# framework. What makes a control is its identity row, its sources and its own
# resources; the module's export list, type library, type names, property
# page and the framework's resources come from here.
#
#   halvix_control(zentrel
#     IDENTITY ZENTREL                   # its row of suite/controls.inc
#     BITMAP res/zentrel.bmp             # toolbox bitmap
#     RUNNER src/zentrel.cpp ...         # runner values, pages, tests
#     SOURCES src/module.cpp             # what only the module holds
#     RESOURCES zentrel.rc               # the control's own strings and icons
#     LIBRARIES ...)                     # what the runner links
#
# The RUNNER sources are built once, as the object library <target>_control
# that the module and the control's in-process tests link. A control of the
# tests' own names a file of rows of its own with ROWS.
#
# The control's sources define the module with CTLFW_CONTROL_MODULE; its src/
# folder is on the include path.
set(HALVIX_CONTROL_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})
get_filename_component(HALVIX_CONTROL_ROWS ${CMAKE_CURRENT_LIST_DIR}/../shared/include/suite/controls.inc ABSOLUTE)

# halvix_control_row(<key> <rows file>): the row <key> of a file of identity
# rows (the columns of suite/controls.inc) as CTL_KEY, CTL_DISPLAY, CTL_FILE
# (<key>.OCX) and the ids CTL_CLSID, CTL_PAGEID, CTL_LIBID, CTL_DISPID and
# CTL_EVENTID (text as the .idl takes it), in the caller's scope. A missing
# row or a malformed id stops the configure.
function(halvix_control_row key rows)
  get_filename_component(rows ${rows} ABSOLUTE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${rows})
  file(READ ${rows} text)
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX MATCHALL "HALVIX_CONTROL\\([ \t\r\n]*${key}[ \t\r\n]*,[^)]*\\)" row "${text}")
  list(LENGTH row count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${rows}: ${count} rows HALVIX_CONTROL(${key}, ...), one expected")
  endif()
  string(REGEX REPLACE "^HALVIX_CONTROL\\((.*)\\)$" "\\1" row "${row}")
  string(REGEX REPLACE "[ \t\r\n]*,[ \t\r\n]*" ";" row "${row}")
  string(STRIP "${row}" row)
  list(LENGTH row count)
  if(NOT count EQUAL 15)
    message(FATAL_ERROR "${rows}: row ${key} has ${count} columns, 15 expected")
  endif()
  list(GET row 1 display)
  string(REPEAT "[0-9A-Fa-f]" 4 h4)
  set(index 2)
  foreach(column CLSID PAGEID LIBID DISPID EVENTID)
    list(GET row ${index} id)
    if(NOT id MATCHES "^\"(${h4}${h4}-${h4}-${h4}-${h4}-${h4}${h4}${h4})\"$")
      message(FATAL_ERROR "${rows}: row ${key}: ${id} is no id")
    endif()
    set(CTL_${column} ${CMAKE_MATCH_1} PARENT_SCOPE)
    math(EXPR index "${index} + 1")
  endforeach()
  set(CTL_KEY ${key} PARENT_SCOPE)
  set(CTL_DISPLAY ${display} PARENT_SCOPE)
  set(CTL_FILE ${key}.OCX PARENT_SCOPE)
endfunction()

# halvix_control_identity(<target> IDENTITY <key> [ROWS file] [IDL template]):
# what a control module takes from its identity row: its file name, its
# export list and its type library, made from <template> (control.idl.in
# unless given) with the row's @CTL_...@ values.
function(halvix_control_identity target)
  cmake_parse_arguments(CTL "" "IDENTITY;ROWS;IDL" "" ${ARGN})
  if(NOT CTL_IDENTITY)
    message(FATAL_ERROR "halvix_control_identity(${target}): IDENTITY is missing")
  endif()
  if(NOT CTL_ROWS)
    set(CTL_ROWS ${HALVIX_CONTROL_ROWS})
  endif()
  if(NOT CTL_IDL)
    set(CTL_IDL ${HALVIX_CONTROL_TEMPLATES}/control.idl.in)
  endif()
  get_filename_component(CTL_IDL ${CTL_IDL} ABSOLUTE)
  halvix_control_row(${CTL_IDENTITY} ${CTL_ROWS})
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/control)
  configure_file(${HALVIX_CONTROL_TEMPLATES}/control.def.in ${gen}/${target}.def @ONLY)
  configure_file(${CTL_IDL} ${gen}/${target}.idl @ONLY)
  target_sources(${target} PRIVATE ${gen}/${target}.def)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${CTL_KEY} SUFFIX ".OCX")
  halvix_typelib(${target} ${gen}/${target}.idl)
  # The test of the suite's table reads every module of its rows.
  if(CTL_ROWS STREQUAL HALVIX_CONTROL_ROWS AND TARGET suite_identity_test)
    add_dependencies(suite_identity_test ${target})
  endif()
endfunction()

function(halvix_control target)
  cmake_parse_arguments(CTL "" "IDENTITY;ROWS;BITMAP" "RUNNER;SOURCES;RESOURCES;LIBRARIES" ${ARGN})
  foreach(required IDENTITY BITMAP)
    if(NOT CTL_${required})
      message(FATAL_ERROR "halvix_control(${target}): ${required} is missing")
    endif()
  endforeach()
  if(NOT CTL_ROWS)
    set(CTL_ROWS ${HALVIX_CONTROL_ROWS})
  endif()
  halvix_control_row(${CTL_IDENTITY} ${CTL_ROWS})
  get_filename_component(CTL_BITMAP ${CTL_BITMAP} ABSOLUTE)
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/control)
  configure_file(${HALVIX_CONTROL_TEMPLATES}/control_module.rc.in ${gen}/${target}_module.rc @ONLY)

  if(CTL_RUNNER)
    add_library(${target}_control OBJECT ${CTL_RUNNER})
    target_include_directories(${target}_control PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/src)
    target_link_libraries(${target}_control PUBLIC ctlfw ${CTL_LIBRARIES})
    set(CTL_LIBRARIES ${target}_control)
  endif()
  add_library(${target} SHARED ${CTL_SOURCES} ${CTL_RESOURCES} ${gen}/${target}_module.rc ${CTLFW_RESOURCE_SCRIPT})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${target} PRIVATE ctlfw ${CTL_LIBRARIES})
  halvix_control_identity(${target} IDENTITY ${CTL_IDENTITY} ROWS ${CTL_ROWS})
endfunction()

# halvix_testdata(<target> <script> <file>...): files of the suite's
# TESTDATA folder made by a generator script of the control's own
# (<script> <folder>), built with <target>.
function(halvix_testdata target script)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(dir ${HALVIX_SUITE_DIR}/TESTDATA)
  set(outputs)
  foreach(f ${ARGN})
    list(APPEND outputs ${dir}/${f})
  endforeach()
  get_filename_component(script ${script} ABSOLUTE)
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${Python3_EXECUTABLE} ${script} ${dir}
    DEPENDS ${script}
    VERBATIM)
  add_custom_target(${target}_testdata ALL DEPENDS ${outputs})
  add_dependencies(${target} ${target}_testdata)
endfunction()
