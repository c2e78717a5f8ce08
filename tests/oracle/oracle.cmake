# The Mesa oracle test's needs, included by tests/CMakeLists.txt once
# test_oracle exists: the benchmark's OpenGL peer (bench/mesa_peer.cpp) on
# OSMesa where it is installed (without it the test skips and says why), the
# PNG writer for its failure images.
if(TARGET test_oracle)
  target_sources(test_oracle PRIVATE ${CMAKE_SOURCE_DIR}/bench/mesa_peer.cpp)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(KX_OSMESA IMPORTED_TARGET osmesa)
  target_link_libraries(test_oracle PRIVATE kxhost_png)
  if(KX_OSMESA_FOUND)
    target_link_libraries(test_oracle PRIVATE PkgConfig::KX_OSMESA)
    target_compile_definitions(test_oracle PRIVATE KX_HAVE_OSMESA)
  endif()
  target_compile_definitions(test_oracle PRIVATE
    KX_ORACLE_FAILURE_DIR="${CMAKE_BINARY_DIR}/oracle-failures")
endif()
