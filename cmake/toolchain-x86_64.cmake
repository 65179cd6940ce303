# 64-bit Windows build with the posix-thread mingw-w64 compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(HALVIX_WIDL        ${TOOLCHAIN_PREFIX}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine through a wrapper that puts each one in the
# Wine prefix ctest allotted to it (see scripts/wine-test).
get_filename_component(HALVIX_WINE_TEST ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-test ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HALVIX_WINE_TEST})
