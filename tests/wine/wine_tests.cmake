# The Windows builds under Wine (scripts/wine_run.sh), with the runner's jobs
# left to CTest: each test's time limit (TIMEOUT), a skip where the machine
# cannot start that Wine (SKIP_RETURN_CODE 77), one test at a time on a
# build's Wine prefix (RESOURCE_LOCK: the tests would share one wineserver,
# and the clean-up after each run would end the other's program), and the
# prefix made once before them (the fixture wine.prefix_win32 / _win64).
# A test fails on any line starting "FAIL: "; one that runs a single program
# says what passes with PASS_REGULAR_EXPRESSION, which ends in the runner's
# "exit code 0" line, as CTest ignores the exit code then.
find_program(KX_XVFB Xvfb)
if(KX_XVFB AND (EXISTS /usr/lib/wine/wine64 OR EXISTS /usr/lib/wine/wine))
  set(KX_WINE ON)
else()
  set(KX_WINE OFF)
  message(STATUS "Wine tests: Wine or Xvfb not installed, not registered")
endif()
set(KX_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine_run.sh)

# kx_wine_test(NAME <test> ARCH <win32|win64> TIMEOUT <s> [PASS <regex>]
#              COMMAND <command>...)
function(kx_wine_test)
  cmake_parse_arguments(arg "" "NAME;ARCH;TIMEOUT;PASS" "COMMAND" ${ARGN})
  string(TOUPPER ${arg_ARCH} ARCH)
  kx_windows_test(NAME ${arg_NAME} ARCH ${arg_ARCH} COMMAND ${arg_COMMAND})
  set_tests_properties(${arg_NAME} PROPERTIES LABELS wine)
  if(NOT KX_${ARCH}_BUILD)
    return()
  endif()
  set_tests_properties(${arg_NAME} PROPERTIES RESOURCE_LOCK wine_prefix_${arg_ARCH}
                       TIMEOUT ${arg_TIMEOUT} SKIP_RETURN_CODE 77
                       FAIL_REGULAR_EXPRESSION "(^|\n)FAIL: ")
  set_property(TEST ${arg_NAME} APPEND PROPERTY FIXTURES_REQUIRED wine_prefix_${arg_ARCH})
  if(arg_PASS)
    set_tests_properties(${arg_NAME} PROPERTIES PASS_REGULAR_EXPRESSION "${arg_PASS}")
  endif()
  # The 32-bit Wine may run emulated: its tests are the suite's longest
  # chain, so they go first.
  if(arg_ARCH STREQUAL "win32")
    set_tests_properties(${arg_NAME} PROPERTIES COST 1000)
  endif()
endfunction()

if(KX_WINE)
  foreach(arch win32 win64)
    string(TOUPPER ${arch} ARCH)
    if(KX_${ARCH}_BUILD)
      add_test(NAME wine.prefix_${arch} COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine_prefix.sh ${arch})
      set_tests_properties(wine.prefix_${arch} PROPERTIES LABELS wine COST 2000
                           FIXTURES_SETUP wine_prefix_${arch} RESOURCE_LOCK wine_prefix_${arch}
                           TIMEOUT 600 SKIP_RETURN_CODE 77)
    endif()
  endforeach()
endif()
