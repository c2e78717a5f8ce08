# Copies a Windows program or DLL without its symbol table: a player needs
# the code, and the build tree keeps the symbols for debugging and for the
# checks that read them. The copy keeps the link's time stamp, so the same
# file always strips to the same bytes (the package's check relies on it).
# Arguments: -DSTRIP=<mingw strip> -DIN=<file> -DOUT=<file>
cmake_minimum_required(VERSION 3.25)

# A little-endian 32-bit word of the file, as a number.
function(pe_word32 file offset out)
  file(READ ${file} hex OFFSET ${offset} LIMIT 4 HEX)
  string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" hex "${hex}")
  math(EXPR value "0x${hex}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

pe_word32(${IN} 60 header) # e_lfanew: where "PE\0\0" stands
math(EXPR stamp_at "${header} + 8")
pe_word32(${IN} ${stamp_at} stamp)
set(ENV{SOURCE_DATE_EPOCH} ${stamp})
get_filename_component(folder ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${STRIP} --strip-all -o ${OUT} ${IN} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${STRIP} failed on ${IN}")
endif()
