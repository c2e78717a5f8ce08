# Checks a Windows build tree before its tests run: it is there, it was
# configured from these sources, and building it would do nothing, so that
# the tests check what the sources make now.
# Arguments: -DTREE=<build tree> -DSOURCE=<source tree> -DARCH=<win32|win64>
cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS ${TREE}/CMakeCache.txt)
  message(FATAL_ERROR "the ${ARCH} build tree ${TREE} is missing "
                      "(cmake --preset ${ARCH} && cmake --build build/${ARCH})")
endif()
file(STRINGS ${TREE}/CMakeCache.txt home REGEX "^CMAKE_HOME_DIRECTORY:INTERNAL=")
string(REPLACE "CMAKE_HOME_DIRECTORY:INTERNAL=" "" home "${home}")
file(REAL_PATH "${home}" home)
file(REAL_PATH "${SOURCE}" source)
if(NOT home STREQUAL source)
  message(FATAL_ERROR "the ${ARCH} build tree ${TREE} was configured from ${home}, not ${source}")
endif()

# What building it would do, without doing it. Make alone does not see a
# changed CMakeLists.txt or a new source file: CMake's own check regenerates
# the build files first when they are out of date.
file(STRINGS ${TREE}/CMakeCache.txt generator REGEX "^CMAKE_GENERATOR:INTERNAL=")
if(generator MATCHES "Ninja")
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${TREE} -- -n
                  OUTPUT_VARIABLE plan ERROR_VARIABLE plan RESULT_VARIABLE rc)
  string(REGEX MATCHALL "\n\\[[0-9]+/[0-9]+\\] [^\n]*" work "\n${plan}")
else()
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${TREE}
                          --check-build-system CMakeFiles/Makefile.cmake 0
                  WORKING_DIRECTORY ${TREE} OUTPUT_QUIET RESULT_VARIABLE rc)
  if(rc EQUAL 0)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${TREE} -- -n
                    OUTPUT_VARIABLE plan ERROR_VARIABLE plan RESULT_VARIABLE rc)
  endif()
  string(REGEX MATCHALL "\"(Building|Linking|Generating|Packing)[^\"]*\"" work "${plan}")
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot ask the ${ARCH} build tree ${TREE} what it would build:\n${plan}")
endif()
if(work)
  list(LENGTH work steps)
  list(SUBLIST work 0 5 first)
  string(REPLACE ";" "\n  " first "${first}")
  message(FATAL_ERROR "the ${ARCH} build tree ${TREE} is older than its sources: building it "
                      "would take ${steps} step(s), first\n  ${first}\n(cmake --build ${TREE})")
endif()
message("the ${ARCH} build tree ${TREE} is built from ${source} and up to date")
