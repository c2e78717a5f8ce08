# Version records for the Windows builds' DLLs and programs: product
# "kxpwrvr", the project's version as file and product version, and a
# description of the file, as Explorer's properties and kxcheck.exe show them.
# The PE test (tests/windows/check_pe.cmake) reads them back.
enable_language(RC)

# kx_version_resource(target "description"): for a target whose file name
# is the target's output name plus the platform's suffix.
function(kx_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(kx_file_type VFT_APP)
    set(kx_file_name ${name}.exe)
  else()
    set(kx_file_type VFT_DLL)
    set(kx_file_name ${name}.dll)
  endif()
  set(kx_description ${description})
  set(rc ${CMAKE_BINARY_DIR}/version_resources/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
