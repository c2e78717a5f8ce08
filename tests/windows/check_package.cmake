# The players' package: unpacks build/win32/kxpwrvr-*-win32.zip and checks that
# it holds exactly the two DLLs and the read-me, that the DLLs are the very
# files the win32 build made (the ones the PE and Wine tests check), and that
# the read-me is Windows text that names what a player needs.
# Arguments: -DBUILD=<win32 build folder> -DWORK=<scratch folder>
cmake_minimum_required(VERSION 3.25)

file(GLOB zips ${BUILD}/kxpwrvr-*-win32.zip)
if(NOT zips)
  message("SKIP: no package in ${BUILD} (cmake --preset win32 && cmake --build build/win32)")
  return()
endif()
list(LENGTH zips count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "more than one package in ${BUILD}: ${zips}")
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(ARCHIVE_EXTRACT INPUT ${zips} DESTINATION ${WORK})
file(GLOB_RECURSE unpacked RELATIVE ${WORK} ${WORK}/*)
list(SORT unpacked)
if(NOT unpacked STREQUAL "README.txt;kxpwrvr.dll;sgl.dll")
  message(FATAL_ERROR "the package holds\n  ${unpacked}\nexpected README.txt, kxpwrvr.dll, sgl.dll")
endif()

foreach(dll kxpwrvr.dll sgl.dll)
  file(SHA256 ${WORK}/${dll} packed)
  file(SHA256 ${BUILD}/bin/${dll} built)
  if(NOT packed STREQUAL built)
    message(FATAL_ERROR "${dll} in the package is not the one in ${BUILD}/bin (stale package?)")
  endif()
endforeach()

# Read as hex: file(READ) as text drops the CRs.
file(READ ${WORK}/README.txt hex HEX)
string(REGEX MATCHALL "0d0a" crlf "${hex}")
string(REGEX MATCHALL "0a" lf "${hex}")
list(LENGTH crlf crlf_count)
list(LENGTH lf lf_count)
if(crlf_count EQUAL 0 OR NOT crlf_count EQUAL lf_count)
  message(FATAL_ERROR "README.txt must end every line with CR LF (${crlf_count} of ${lf_count})")
endif()
file(READ ${WORK}/README.txt text)
foreach(needed "kxpwrvr.dll" "sgl.dll" "640 x 480" "16-bit" "PowerVR PCX-2")
  string(FIND "${text}" "${needed}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "README.txt does not mention \"${needed}\"")
  endif()
endforeach()
message("${zips}: README.txt, kxpwrvr.dll and sgl.dll, the DLLs as built")
