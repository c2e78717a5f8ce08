# The Windows build trees the Windows tests check come in as paths:
#   -DKX_WIN32_BUILD=<tree> -DKX_WIN64_BUILD=<tree>  (scripts/test.sh gives both)
# With a tree given, its tests require it: windows.tree_<arch> runs first and
# fails when the tree is missing, was configured from other sources, or is
# older than its sources (building it would do anything); its tests then do
# not run, and the suite fails. Without one, as in a hand-run ctest of this
# tree alone, its tests report themselves skipped and say why.
set(KX_WIN32_BUILD "" CACHE PATH "The win32 build tree the Windows tests check")
set(KX_WIN64_BUILD "" CACHE PATH "The win64 build tree the Windows tests check")

foreach(arch win32 win64)
  string(TOUPPER ${arch} ARCH)
  if(KX_${ARCH}_BUILD)
    add_test(NAME windows.tree_${arch}
             COMMAND ${CMAKE_COMMAND} -DTREE=${KX_${ARCH}_BUILD} -DSOURCE=${CMAKE_SOURCE_DIR}
                     -DARCH=${arch} -P ${CMAKE_CURRENT_LIST_DIR}/check_tree.cmake)
    set_tests_properties(windows.tree_${arch} PROPERTIES FIXTURES_SETUP windows_tree_${arch}
                         TIMEOUT 300)
  endif()
endforeach()

# kx_windows_test(NAME <test> ARCH <win32|win64> COMMAND <command>...): a test
# of that Windows build tree (its command names the tree through
# KX_WIN32_BUILD or KX_WIN64_BUILD). With the tree given it runs after the
# tree's check, and a skip for want of a file of the tree fails; without it
# the test only says that it is skipped.
function(kx_windows_test)
  cmake_parse_arguments(arg "" "NAME;ARCH" "COMMAND" ${ARGN})
  string(TOUPPER ${arg_ARCH} ARCH)
  if(KX_${ARCH}_BUILD)
    add_test(NAME ${arg_NAME} COMMAND ${arg_COMMAND})
    set_tests_properties(${arg_NAME} PROPERTIES FIXTURES_REQUIRED windows_tree_${arg_ARCH})
  else()
    add_test(NAME ${arg_NAME}
             COMMAND ${CMAKE_COMMAND} -E echo
                     "SKIP: no ${arg_ARCH} build tree given (-DKX_${ARCH}_BUILD=<tree>; scripts/test.sh gives it)")
    set_tests_properties(${arg_NAME} PROPERTIES SKIP_REGULAR_EXPRESSION "SKIP:")
  endif()
endfunction()

# For the table checks, whose every skip is for want of a file of the tree:
# with the tree given a skip fails.
function(kx_windows_check)
  kx_windows_test(${ARGN})
  cmake_parse_arguments(arg "" "NAME;ARCH" "COMMAND" ${ARGN})
  string(TOUPPER ${arg_ARCH} ARCH)
  if(KX_${ARCH}_BUILD)
    set_tests_properties(${arg_NAME} PROPERTIES FAIL_REGULAR_EXPRESSION "SKIP:")
  endif()
endfunction()
