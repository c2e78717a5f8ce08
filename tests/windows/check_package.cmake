# The players' package: unpacks build/win32/kxpwrvr-*-win32.zip and checks that
# it holds exactly what a player needs (the driver, our SGL, kxcheck.exe, the
# read-me, the settings file, the recorder with its read-me) and nothing else, that its programs
# are the very files the win32 build made (the ones the PE and Wine tests
# check) stripped of their symbol tables, and that the read-mes are Windows
# text that name what a player needs.
# Arguments: -DBUILD=<win32 build folder> -DWORK=<scratch folder>
#   -DOBJDUMP=... -DSTRIP=... (mingw's) -DSTRIP_SCRIPT=<cmake/pe_strip.cmake>
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
set(expected README.txt kxcheck.exe kxpwrvr.dll kxpwrvr.ini recorder/README.txt recorder/kxpwrvr.dll sgl.dll)
list(SORT expected)
if(NOT unpacked STREQUAL expected)
  message(FATAL_ERROR "the package holds\n  ${unpacked}\nexpected\n  ${expected}")
endif()

# The programs are the build's, stripped of their symbol tables.
foreach(pair kxpwrvr.dll=kxpwrvr.dll sgl.dll=sgl.dll kxcheck.exe=kxcheck.exe
             recorder/kxpwrvr.dll=kxtrace/kxpwrvr.dll)
  string(REGEX MATCH "^([^=]+)=(.*)$" parts "${pair}")
  set(name ${CMAKE_MATCH_1})
  set(packed_file ${WORK}/${name})
  set(built_file ${BUILD}/bin/${CMAKE_MATCH_2})
  execute_process(COMMAND ${OBJDUMP} -t ${packed_file} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT symbols MATCHES "no symbols")
    message(FATAL_ERROR "${name} in the package is not stripped")
  endif()
  set(stripped ${WORK}.stripped/${name})
  execute_process(COMMAND ${CMAKE_COMMAND} -DSTRIP=${STRIP} -DIN=${built_file} -DOUT=${stripped}
                          -P ${STRIP_SCRIPT} RESULT_VARIABLE rc)
  file(SHA256 ${packed_file} packed)
  file(SHA256 ${stripped} built)
  if(NOT rc EQUAL 0 OR NOT packed STREQUAL built)
    message(FATAL_ERROR "${name} in the package is not ${built_file} stripped "
                        "(stale package?)")
  endif()
  file(SIZE ${packed_file} packed_size)
  file(SIZE ${built_file} built_size)
  string(APPEND sizes " ${name} ${packed_size} (built ${built_size})")
endforeach()
file(REMOVE_RECURSE ${WORK}.stripped)

# Windows text, naming what a player needs.
function(check_text file)
  # Read as hex: file(READ) as text drops the CRs.
  file(READ ${WORK}/${file} hex HEX)
  # A space after each byte keeps the patterns on byte boundaries: over the
  # bare hex, "0a" would also match the middle of 30 a1.
  string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")
  string(REGEX MATCHALL "0d 0a " crlf "${bytes}")
  string(REGEX MATCHALL "0a " lf "${bytes}")
  list(LENGTH crlf crlf_count)
  list(LENGTH lf lf_count)
  if(crlf_count EQUAL 0 OR NOT crlf_count EQUAL lf_count)
    message(FATAL_ERROR "${file} must end every line with CR LF (${crlf_count} of ${lf_count})")
  endif()
  file(READ ${WORK}/${file} text)
  foreach(needed IN LISTS ARGN)
    string(FIND "${text}" "${needed}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${file} does not mention \"${needed}\"")
    endif()
  endforeach()
endfunction()
check_text(README.txt "kxpwrvr.dll" "sgl.dll" "kxcheck.exe" "kxcheck.txt" "recorder" "640 x 480"
           "16-bit" "PowerVR PCX-2" "Uninstalling" "virtual desktop" "cnc-ddraw" "error 126")
check_text(kxpwrvr.ini "[kxpwrvr]" ";log = off" ";fps_limit = 0" ";filter = nearest" ";antialias = 1"
           ";dither = off" ";threads = 0" ";kernels = best")
check_text(recorder/README.txt "kxpwrvr_real.dll" ".kxtrace" "Zip" "Putting things back")
message("${zips}: ${unpacked}, the programs as built, stripped:${sizes}")
