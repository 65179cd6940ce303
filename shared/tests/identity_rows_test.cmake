# halvix_control_row() against rows files of the test's own: a row is found
# by its key alone, and a missing or doubled row, a wrong number of columns or
# a malformed id stops the configure with a message that says so.
#   cmake -DWORK=<scratch folder> -P identity_rows_test.cmake
if(DEFINED CASE_ROWS)
  # One case, in a cmake of its own: a stopped configure ends only it.
  include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/HalvixControl.cmake)
  halvix_control_row(${CASE_KEY} ${CASE_ROWS})
  message("row: ${CTL_KEY}|${CTL_DISPLAY}|${CTL_FILE}|${CTL_CLSID}|${CTL_PAGEID}|${CTL_LIBID}|${CTL_DISPID}|${CTL_EVENTID}")
  return()
endif()

set(failures 0)
set(n 0)
# check(<key> <expected output fragment> <rows text>)
function(check key expect rows)
  math(EXPR n "${n} + 1")
  set(n ${n} PARENT_SCOPE)
  set(file ${WORK}/rows_${n}.inc)
  file(WRITE ${file} "${rows}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DCASE_KEY=${key} -DCASE_ROWS=${file} -P ${CMAKE_CURRENT_LIST_FILE}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  # CMake wraps its messages to the width of the terminal.
  string(REGEX REPLACE "[ \t\r\n]+" " " out "${out}")
  string(FIND "${out}" "${expect}" at)
  set(ok TRUE)
  if(expect MATCHES "^row: ")
    if(NOT status EQUAL 0)
      set(ok FALSE)
    endif()
  elseif(status EQUAL 0)
    set(ok FALSE)
  endif()
  if(at EQUAL -1 OR NOT ok)
    message("case ${n} (${key}): wanted \"${expect}\", exit ${status}:\n${out}")
    math(EXPR failures "${failures} + 1")
    set(failures ${failures} PARENT_SCOPE)
  endif()
endfunction()

set(id1 "00000001-0000-0000-0000-00000000000A")
set(id2 "00000002-0000-0000-0000-00000000000b")
set(tail "0, -1, -1, 6, -1, \"KytX\", nullptr, L\"Software\\\\X\"")
set(good "\"${id1}\", \"00000003-0000-0000-0000-000000000000\", \"${id2}\", \"00000004-0000-0000-0000-000000000000\", \"00000005-0000-0000-0000-000000000000\", ${tail}")

# Found by its key among others, across lines, a comment naming it aside.
check(MODEM "row: MODEM|Modem|MODEM.OCX|${id1}|00000003-0000-0000-0000-000000000000|${id2}|00000004-0000-0000-0000-000000000000|00000005-0000-0000-0000-000000000000"
  "// HALVIX_CONTROL(MODEM, Wrong, ...)\nHALVIX_CONTROL(MODEMX, Modemx, ${good})\nHALVIX_CONTROL(  MODEM ,\n  Modem, ${good})\nHALVIX_CONTROL(XMODEM, Xmodem, ${good})\n")
check(MODEM "0 rows HALVIX_CONTROL(MODEM" "HALVIX_CONTROL(MODEMX, Modemx, ${good})\n")
check(MODEM "2 rows HALVIX_CONTROL(MODEM" "HALVIX_CONTROL(MODEM, Modem, ${good})\nHALVIX_CONTROL(MODEM, Modem, ${good})\n")
check(MODEM "row MODEM has 14 columns" "HALVIX_CONTROL(MODEM, Modem, \"${id1}\", \"${id1}\", \"${id1}\", \"${id1}\", \"${id1}\", 0, -1, -1, 6, -1, nullptr, nullptr)\n")
foreach(bad "00000001-0000-0000-0000-00000000000G" "{00000001-0000-0000-0000-00000000000A}" "00000001-0000-0000-0000-00000000000"
            "00000001-0000-0000-0000-00000000000A0" "000000010-000-0000-0000-00000000000A")
  check(MODEM "\"${bad}\" is no id" "HALVIX_CONTROL(MODEM, Modem, \"${id1}\", \"${id1}\", \"${bad}\", \"${id1}\", \"${id1}\", ${tail})\n")
endforeach()
check(MODEM "${id1} is no id" "HALVIX_CONTROL(MODEM, Modem, ${id1}, \"${id1}\", \"${id1}\", \"${id1}\", \"${id1}\", ${tail})\n")

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of ${n} cases failed")
endif()
message("${n} cases passed")
