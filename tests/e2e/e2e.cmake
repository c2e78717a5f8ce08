# The end-to-end tests' extra needs, included by tests/CMakeLists.txt once
# test_e2e exists: the host's code (entry point table, demo scene, PNG files),
# the PNG reading and image comparison of kximgdiff, and where goldens and
# failures live.
if(TARGET test_e2e)
  find_package(PNG REQUIRED)
  target_link_libraries(test_e2e PRIVATE kxhost kxhost_png kxtrace_images)
  target_compile_definitions(test_e2e PRIVATE
    KX_GOLDEN_DIR="${CMAKE_SOURCE_DIR}/tests/golden"
    KX_E2E_FAILURE_DIR="${CMAKE_BINARY_DIR}/e2e-failures"
    KX_DEMO_PROGRAM="$<TARGET_FILE:kxdemo>")
  # One test runs the demo program itself.
  add_dependencies(test_e2e kxdemo)
endif()
