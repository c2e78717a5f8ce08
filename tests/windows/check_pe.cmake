# Reads the export and import tables of a Windows build's DLLs:
# kxpwrvr.dll exports exactly the listed names, undecorated, imports exactly
# the SGL operations, undecorated, from sgl.dll and otherwise system DLLs only
# (no compiler runtime DLLs); sgl.dll exports the SGL operations undecorated
# and imports system DLLs only. Every DLL and program of the build carries a
# version record: product "kxpwrvr", the project's version, a description.
# Arguments: -DOBJDUMP=... -DBIN=<build>/bin -DEXPORTS=<exports.txt> -DSGLDEF=<sgl.def>
#            -DVERSION=<the project's version, e.g. 0.2.0>
cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS ${BIN}/kxpwrvr.dll)
  message("SKIP: ${BIN}/kxpwrvr.dll is not built (cmake --preset win32/win64 first)")
  return()
endif()

function(pe_exports dll out)
  execute_process(COMMAND ${OBJDUMP} -p ${dll} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${dll}")
  endif()
  set(names "")
  set(in_table FALSE)
  string(REPLACE "\n" ";" lines "${dump}")
  foreach(line IN LISTS lines)
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
      set(in_table TRUE)
    elseif(in_table AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] ([^ ]+)$")
      list(APPEND names ${CMAKE_MATCH_1})
    elseif(in_table AND line STREQUAL "")
      set(in_table FALSE)
    endif()
  endforeach()
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
  set(${out}_dump "${dump}" PARENT_SCOPE)
endfunction()

file(STRINGS ${EXPORTS} expected REGEX "^[A-Za-z_]")
list(SORT expected)
pe_exports(${BIN}/kxpwrvr.dll driver)
if(NOT driver STREQUAL expected)
  message(FATAL_ERROR "kxpwrvr.dll exports\n  ${driver}\nexpected\n  ${expected}")
endif()

# The import table as "<dll>:<name>" entries, DLL names in lower case.
function(pe_imports dump out)
  set(entries "")
  set(dll "")
  string(REPLACE "\n" ";" lines "${dump}")
  foreach(line IN LISTS lines)
    if(line MATCHES "DLL Name: ([^ ]+)")
      string(TOLOWER "${CMAKE_MATCH_1}" dll)
    elseif(line MATCHES "^[ \t]*$")
      set(dll "")
    elseif(dll AND line MATCHES "^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+([^ ]+)$")
      list(APPEND entries "${dll}:${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

# Imports from system DLLs only, apart from the given DLL; the names imported
# from it, sorted, in ${out}.
set(system_dlls kernel32.dll user32.dll msvcrt.dll)
function(check_imports what dump allowed out)
  pe_imports("${dump}" entries)
  set(names "")
  foreach(entry IN LISTS entries)
    string(REGEX MATCH "^[^:]+" dll "${entry}")
    string(REGEX REPLACE "^[^:]+:" "" name "${entry}")
    if(dll STREQUAL "${allowed}")
      list(APPEND names ${name})
    elseif(NOT dll IN_LIST system_dlls)
      message(FATAL_ERROR "${what} imports ${name} from ${dll}, which is not a system DLL")
    endif()
  endforeach()
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

file(STRINGS ${SGLDEF} sglnames REGEX "^    ")
string(REPLACE " " "" sglnames "${sglnames}")
list(SORT sglnames)

# The driver imports exactly the plain SGL names from sgl.dll (a decorated
# name such as _sgl_get_win_versions is exported by no sgl.dll, and Windows
# refuses to load a DLL whose import cannot be bound). ddraw.dll is loaded at
# run time, never imported.
check_imports(kxpwrvr.dll "${driver_dump}" sgl.dll driver_sgl_imports)
if(NOT driver_sgl_imports STREQUAL sglnames)
  message(FATAL_ERROR "kxpwrvr.dll imports from sgl.dll\n  ${driver_sgl_imports}\nexpected\n  ${sglnames}")
endif()

pe_exports(${BIN}/sgl.dll sgl)
if(NOT sgl STREQUAL sglnames)
  message(FATAL_ERROR "sgl.dll exports\n  ${sgl}\nexpected\n  ${sglnames}")
endif()
check_imports(sgl.dll "${sgl_dump}" "" sgl_own_imports)
message("kxpwrvr.dll and sgl.dll tables are as expected (${BIN})")

# The version record, read from the file's bytes: the fixed part (after its
# signature 0xFEEF04BD) holds the file version as numbers, the string table
# the texts, each key and value in UTF-16 with a 0 after each and padding
# between them.
function(utf16_hex text out)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\100" hex "${hex}")
  set(${out} ${hex} PARENT_SCOPE)
endfunction()
# 16-bit little-endian word at `at` (hex digits) of `hex`, as a number.
function(word16 hex at out)
  string(SUBSTRING "${hex}" ${at} 4 bytes)
  string(SUBSTRING "${bytes}" 2 2 high)
  string(SUBSTRING "${bytes}" 0 2 low)
  math(EXPR value "0x${high}${low}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()
function(check_version file)
  file(READ ${file} bytes HEX)
  string(FIND "${bytes}" "bd04effe" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} has no version record")
  endif()
  # After the signature: the structure's version, then the file version's
  # high and low double words (minor, major; build, patch as words).
  math(EXPR ms "${at} + 16")
  math(EXPR ls "${at} + 24")
  word16("${bytes}" ${ms} minor)
  math(EXPR ms "${ms} + 4")
  word16("${bytes}" ${ms} major)
  math(EXPR ls "${ls} + 4")
  word16("${bytes}" ${ls} patch)
  if(NOT "${major}.${minor}.${patch}" STREQUAL "${VERSION}")
    message(FATAL_ERROR "${file}: file version ${major}.${minor}.${patch}, expected ${VERSION}")
  endif()
  foreach(pair "ProductName=kxpwrvr" "FileVersion=${VERSION}" "ProductVersion=${VERSION}")
    string(REGEX MATCH "^([^=]+)=(.*)$" parts "${pair}")
    utf16_hex("${CMAKE_MATCH_1}" key)
    utf16_hex("${CMAKE_MATCH_2}" value)
    if(NOT bytes MATCHES "${key}0000(0000)?${value}0000")
      message(FATAL_ERROR "${file}: the version record lacks ${pair}")
    endif()
  endforeach()
  utf16_hex("FileDescription" key)
  if(NOT bytes MATCHES "${key}0000(0000)?((([0-9a-f][1-9a-f]|[1-9a-f]0)00)+)0000")
    message(FATAL_ERROR "${file}: the version record has no description")
  endif()
endfunction()

file(GLOB_RECURSE programs ${BIN}/*.dll ${BIN}/*.exe)
foreach(program IN LISTS programs)
  check_version(${program})
endforeach()
list(LENGTH programs count)
message("${count} DLLs and programs carry the version record of kxpwrvr ${VERSION}")
