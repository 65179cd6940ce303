# halvix_control(): one test control module (.OCX) of the suite on the control
# framework. What makes a control is its identity, its sources and its own
# resources; the module's export list, type library, type names, property
# page and the framework's resources come from here.
#
#   halvix_control(zentrel
#     DISPLAY Zentrel                    # coclass and type names
#     LIBID ... DISPID ... EVENTID ... CLSID ...   # as in suite/controls.h
#     BITMAP res/zentrel.bmp             # toolbox bitmap
#     RUNNER src/zentrel.cpp ...         # runner values, pages, tests
#     SOURCES src/module.cpp             # what only the module holds
#     RESOURCES zentrel.rc               # the control's own strings and icons
#     LIBRARIES ...)                     # what the runner links
#
# The RUNNER sources are built once, as the object library <target>_control
# that the module and the control's in-process tests link.
#
# The control's sources define the module with CTLFW_CONTROL_MODULE; its src/
# folder is on the include path.
set(HALVIX_CONTROL_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})

function(halvix_control target)
  cmake_parse_arguments(CTL "" "DISPLAY;LIBID;DISPID;EVENTID;CLSID;BITMAP" "RUNNER;SOURCES;RESOURCES;LIBRARIES" ${ARGN})
  foreach(required DISPLAY LIBID DISPID EVENTID CLSID BITMAP)
    if(NOT CTL_${required})
      message(FATAL_ERROR "halvix_control(${target}): ${required} is missing")
    endif()
  endforeach()
  string(TOUPPER ${CTL_DISPLAY} CTL_UPPER)
  set(CTL_FILE ${CTL_UPPER}.OCX)
  get_filename_component(CTL_BITMAP ${CTL_BITMAP} ABSOLUTE)
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/control)
  configure_file(${HALVIX_CONTROL_TEMPLATES}/control.def.in ${gen}/${target}.def @ONLY)
  configure_file(${HALVIX_CONTROL_TEMPLATES}/control.idl.in ${gen}/${target}.idl @ONLY)
  configure_file(${HALVIX_CONTROL_TEMPLATES}/control_module.rc.in ${gen}/${target}_module.rc @ONLY)

  if(CTL_RUNNER)
    add_library(${target}_control OBJECT ${CTL_RUNNER})
    target_include_directories(${target}_control PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/src)
    target_link_libraries(${target}_control PUBLIC ctlfw ${CTL_LIBRARIES})
    set(CTL_LIBRARIES ${target}_control)
  endif()
  add_library(${target} SHARED ${CTL_SOURCES} ${CTL_RESOURCES} ${gen}/${target}_module.rc
              ${CTLFW_RESOURCE_SCRIPT} ${gen}/${target}.def)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${CTL_UPPER} SUFFIX ".OCX")
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${target} PRIVATE ctlfw ${CTL_LIBRARIES})
  halvix_typelib(${target} ${gen}/${target}.idl)
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
