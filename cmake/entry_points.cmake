# The names of the driver's entry points, read from the interface's table
# (api/kxapi_entry_points.h, one row each, on a line starting "X(code, name,"),
# for the export lists of the driver and the recorder.
function(kx_entry_point_names out)
  set(table ${CMAKE_SOURCE_DIR}/api/kxapi_entry_points.h)
  # Read whole: the rows end in backslashes, which file(STRINGS) would keep
  # and a CMake list would take for escapes.
  file(READ ${table} text)
  string(REGEX MATCHALL "\n *X\\( *[0-9]+, *[A-Za-z_][A-Za-z_0-9]*," rows "${text}")
  set(names "")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\n *X\\( *[0-9]+, *([A-Za-z_][A-Za-z_0-9]*),$" "\\1" name "${row}")
    list(APPEND names ${name})
  endforeach()
  list(LENGTH names count)
  if(count EQUAL 0)
    message(FATAL_ERROR "no entry points found in ${table}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  set(${out} ${names} PARENT_SCOPE)
endfunction()
