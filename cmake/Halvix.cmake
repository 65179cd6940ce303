# Helpers shared by every deliverable's CMakeLists.

# halvix_test(NAME SOURCE... [KEYWORD value...]): a GoogleTest program run
# under Wine by ctest as the entry NAME. Tests are registered for the 64-bit
# build only: under 64-bit Wine a 32-bit program exits 0 without running.
# Each entry that runs a program takes one Wine prefix of the pool that
# scripts/test describes to ctest (resource "wineprefix"). Test programs are
# left out of the default build (scripts/run builds only the suite); the
# target halvix_tests builds them all. Keywords:
#   DEPENDS target...   targets the test starts or reads, built before it
#   TIMEOUT seconds     the entry's time-out (default 300)
#   LOCKS name...       what the entry shares with other entries beyond its
#                       own prefix and run folder (ctest RESOURCE_LOCK)
#   ENVIRONMENT VAR=value...
#   SKIP_RETURN_CODE n  the exit status that reports "skipped"
#   FIXTURES_SETUP name / FIXTURES_REQUIRED name
#   RUN word...         the entry's command instead of the program with
#                       --gtest_brief=1: WINE stands for the wrapper that runs
#                       a program in the test's prefix, PROGRAM for the test
#                       program's file (e.g. a script that sets up ports)
#   ENTRY name          the entry's name instead of NAME
#   PARTS part=filter...  several entries NAME_part instead of one, each with
#                       --gtest_filter=filter; the filter "*" takes every test
#                       that the other parts' filters leave
#   SMALL_MACHINE       the entry runs through scripts/small-machine: the
#                       machine's memory figures are a file the test writes
#                       (testsupport/machine.h), for it and what it starts
set(HALVIX_TEST_ENTRY_OPTIONS SMALL_MACHINE)
set(HALVIX_TEST_ENTRY_VALUES TIMEOUT COST SKIP_RETURN_CODE ENTRY FIXTURES_SETUP FIXTURES_REQUIRED TARGET)
set(HALVIX_TEST_ENTRY_LISTS LOCKS ENVIRONMENT RUN PARTS)
function(halvix_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "${HALVIX_TEST_ENTRY_OPTIONS}" "${HALVIX_TEST_ENTRY_VALUES}"
                        "${HALVIX_TEST_ENTRY_LISTS};DEPENDS")
  add_executable(${name} EXCLUDE_FROM_ALL ${arg_UNPARSED_ARGUMENTS})
  set_property(GLOBAL APPEND PROPERTY HALVIX_TEST_PROGRAMS ${name})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main halvix_testsupport)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${HALVIX_TEST_BIN_DIR})
  if(arg_DEPENDS)
    add_dependencies(${name} ${arg_DEPENDS})
  endif()
  if(NOT arg_ENTRY)
    set(arg_ENTRY ${name})
  endif()
  set(forward)
  foreach(key IN LISTS HALVIX_TEST_ENTRY_OPTIONS)
    if(arg_${key})
      list(APPEND forward ${key})
    endif()
  endforeach()
  foreach(key IN LISTS HALVIX_TEST_ENTRY_VALUES HALVIX_TEST_ENTRY_LISTS)
    if(DEFINED arg_${key} AND NOT key MATCHES "^(ENTRY|TARGET)$")
      list(APPEND forward ${key} ${arg_${key}})
    endif()
  endforeach()
  halvix_test_entry(${arg_ENTRY} TARGET ${name} ${forward})
endfunction()

# halvix_test_entry(NAME [TARGET program] [KEYWORD value...]): one more
# ctest entry, NAME, of the test program TARGET (another filter, environment
# or script), with the keywords of halvix_test. Without TARGET, RUN is a
# command of the host that takes no Wine prefix.
function(halvix_test_entry name)
  if(NOT HALVIX_64)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 arg "${HALVIX_TEST_ENTRY_OPTIONS}" "${HALVIX_TEST_ENTRY_VALUES}"
                        "${HALVIX_TEST_ENTRY_LISTS}")
  if(arg_RUN)
    set(command)
    foreach(word IN LISTS arg_RUN)
      if(word STREQUAL "WINE")
        list(APPEND command ${HALVIX_WINE_TEST})
      elseif(word STREQUAL "PROGRAM")
        list(APPEND command $<TARGET_FILE:${arg_TARGET}>)
      else()
        list(APPEND command ${word})
      endif()
    endforeach()
  elseif(arg_SMALL_MACHINE)
    set(command ${HALVIX_WINE_TEST} $<TARGET_FILE:${arg_TARGET}> --gtest_brief=1)
  else()
    set(command ${arg_TARGET} --gtest_brief=1)
  endif()
  if(arg_SMALL_MACHINE)
    list(PREPEND command bash ${PROJECT_SOURCE_DIR}/scripts/small-machine)
  endif()
  set(entries)
  if(arg_PARTS)
    set(positive)
    foreach(part IN LISTS arg_PARTS)
      string(REGEX REPLACE "^[^=]*=" "" filter "${part}")
      if(NOT filter STREQUAL "*")
        list(APPEND positive ${filter})
      endif()
    endforeach()
    string(REPLACE ";" ":" positive "${positive}")
    foreach(part IN LISTS arg_PARTS)
      string(REGEX REPLACE "=.*$" "" suffix "${part}")
      string(REGEX REPLACE "^[^=]*=" "" filter "${part}")
      if(filter STREQUAL "*")
        set(filter "*-${positive}")
      endif()
      add_test(NAME ${name}_${suffix} COMMAND ${command} "--gtest_filter=${filter}")
      list(APPEND entries ${name}_${suffix})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${command})
    set(entries ${name})
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 300)
  endif()
  set_tests_properties(${entries} PROPERTIES TIMEOUT ${arg_TIMEOUT})
  if(arg_TARGET)
    set_tests_properties(${entries} PROPERTIES RESOURCE_GROUPS "wineprefix:1")
  endif()
  foreach(property LOCKS:RESOURCE_LOCK ENVIRONMENT:ENVIRONMENT SKIP_RETURN_CODE:SKIP_RETURN_CODE COST:COST
                   FIXTURES_SETUP:FIXTURES_SETUP FIXTURES_REQUIRED:FIXTURES_REQUIRED)
    string(REPLACE ":" ";" property "${property}")
    list(GET property 0 key)
    list(GET property 1 ctest)
    if(DEFINED arg_${key})
      set_tests_properties(${entries} PROPERTIES ${ctest} "${arg_${key}}")
    endif()
  endforeach()
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
