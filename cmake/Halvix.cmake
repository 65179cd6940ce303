# Helpers shared by every deliverable's CMakeLists.

# halvix_test(NAME src...): a GoogleTest program run under Wine by ctest.
# Tests are registered for the 64-bit build only: under 64-bit Wine a
# 32-bit program exits 0 without running. Each test takes one Wine prefix of
# the pool that scripts/test describes to ctest (resource "wineprefix").
# Test programs are left out of the default build (scripts/run builds only
# the suite); the target halvix_tests builds them all.
function(halvix_test name)
  add_executable(${name} EXCLUDE_FROM_ALL ${ARGN})
  set_property(GLOBAL APPEND PROPERTY HALVIX_TEST_PROGRAMS ${name})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main halvix_testsupport)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${HALVIX_TEST_BIN_DIR})
  if(HALVIX_64)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 RESOURCE_GROUPS "wineprefix:1")
  endif()
endfunction()

# halvix_gui_exe(NAME src...): a Unicode Windows GUI program of the suite.
function(halvix_gui_exe name)
  add_executable(${name} WIN32 ${ARGN})
  target_link_options(${name} PRIVATE -municode)
endfunction()
include(${CMAKE_CURRENT_LIST_DIR}/HalvixTypelib.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/HalvixControl.cmake)

# A DLL that other modules bind by name or ordinal: <stem>.def lists its
# exports, <stem>32.def the same for i686, where the stdcall names are kept
# undecorated. Sources follow the stem.
function(halvix_exports_library name stem)
  if(HALVIX_64)
    add_library(${name} SHARED ${ARGN} ${stem}.def)
  else()
    add_library(${name} SHARED ${ARGN} ${stem}32.def)
    target_link_options(${name} PRIVATE -Wl,--kill-at)
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "")
endfunction()
