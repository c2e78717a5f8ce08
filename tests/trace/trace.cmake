# Trace and replay tests, included by tests/CMakeLists.txt: the format and
# bad-input tests (test_trace), and round trips of whole host programs.
if(TARGET test_trace)
  target_link_libraries(test_trace PRIVATE kxtrace_format kxtrace_replay kxtrace_images)
  # The programs under test, run from the build's bin/ folder.
  target_compile_definitions(test_trace PRIVATE KX_TRACE_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                             KX_TRACE_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/trace/data")
  add_dependencies(test_trace kximgdiff kxtrace_tool kxreplay kxpwrvr sgl)
endif()

add_executable(kxtrace_texture_host ${CMAKE_CURRENT_SOURCE_DIR}/trace/hosts/texture_host.cpp)
target_link_libraries(kxtrace_texture_host PRIVATE kxhost kxhost_png)
add_dependencies(kxtrace_texture_host kxpwrvr sgl kxtrace_recorder kxreplay kxtrace_tool kximgdiff)

set(KX_TRACE_BIN ${CMAKE_BINARY_DIR}/bin)
set(KX_TRACE_WORK ${CMAKE_BINARY_DIR}/trace-tests)
add_test(NAME trace.demo_roundtrip
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/roundtrip.sh ${KX_TRACE_BIN}
                 ${KX_TRACE_WORK}/demo demo $<TARGET_FILE:kxdemo> --driver @DRIVER@ --out @OUT@
                 --write every:10)
add_test(NAME trace.texture_changes
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/roundtrip.sh ${KX_TRACE_BIN}
                 ${KX_TRACE_WORK}/textures textures $<TARGET_FILE:kxtrace_texture_host>
                 --driver @DRIVER@ --out @OUT@)
set_tests_properties(trace.demo_roundtrip trace.texture_changes PROPERTIES TIMEOUT 300)
add_test(NAME trace.recorder_failures
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/recorder_failures.sh ${KX_TRACE_BIN}
                 ${KX_TRACE_WORK}/failures)

# Settings: the recorder's own from kxpwrvr.ini, the driver's kept in the
# trace and applied by the replays (the old trace against its golden frames).
add_test(NAME trace.recorder_settings
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/recorder_settings.sh ${KX_TRACE_BIN}
                 ${KX_TRACE_WORK}/recorder_settings)
add_test(NAME trace.settings_replay
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/settings_replay.sh ${KX_TRACE_BIN}
                 ${KX_TRACE_WORK}/settings_replay
                 ${CMAKE_CURRENT_SOURCE_DIR}/trace/data/demo_4_frames.kxtrace
                 ${CMAKE_CURRENT_SOURCE_DIR}/trace/golden)

# A short demo session kept in the repository, replayed against golden frames
# (scripts/regen_goldens.sh rewrites them with the others).
add_test(NAME trace.golden_trace
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/golden_trace.sh ${KX_TRACE_BIN}
                 ${CMAKE_CURRENT_SOURCE_DIR}/trace/data/demo_4_frames.kxtrace
                 ${CMAKE_CURRENT_SOURCE_DIR}/trace/golden ${KX_TRACE_WORK}/golden)

# The report page in headless Chromium: it loads without a console error and
# a click on a frame lists that frame's calls; its screenshot stays in
# trace-tests/report/report.png.
add_test(NAME trace.report
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/report_test.sh ${KX_TRACE_BIN}
                 ${KX_TRACE_WORK}/report ${CMAKE_CURRENT_SOURCE_DIR}/trace/data/demo_4_frames.kxtrace 2)
set_tests_properties(trace.report PROPERTIES TIMEOUT 300)

# The replay and the demo shown in a window, on a private X server: the
# window's pixels against the frames written, and the keys.
add_test(NAME trace.window
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/window_test.sh ${KX_TRACE_BIN}
                 ${KX_TRACE_WORK}/window ${CMAKE_CURRENT_SOURCE_DIR}/trace/data/demo_4_frames.kxtrace)
# The system's D-Bus library, which SDL loads for its window, leaves a
# buffer it never frees, with children whose stacks the fast unwinder cannot
# follow into it: leaks are not checked here (the replay's are, by the tests
# above that run without a window).
set_tests_properties(trace.window PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
  ENVIRONMENT "ASAN_OPTIONS=halt_on_error=1:detect_leaks=0")

# The trace reader's fuzz harness over its seed corpus, in every test build.
add_executable(trace_fuzz_replay ${CMAKE_SOURCE_DIR}/fuzz/trace_reader_fuzzer.cpp
                                 ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(trace_fuzz_replay PRIVATE kxtrace_replay)
file(GLOB KX_TRACE_FUZZ_SEEDS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/trace_corpus/*)
add_test(NAME trace.fuzz_replay_corpus COMMAND trace_fuzz_replay ${KX_TRACE_FUZZ_SEEDS})

# The Windows recorders' export and import tables, and traces crossing
# between Linux and Wine (tests of the Windows build trees: see
# tests/windows/windows_trees.cmake).
foreach(arch win32 win64)
  string(TOUPPER ${arch} ARCH)
  set(tree ${KX_${ARCH}_BUILD})
  # The 32-bit Wine runs about four times slower here: a shorter demo, and
  # the replay of a trace's settings (through the same C library as the
  # 64-bit build's) in the 64-bit test alone.
  if(arch STREQUAL "win32")
    set(objdump i686-w64-mingw32-objdump)
    set(frames 40)
    set(settings_replay 0)
  else()
    set(objdump x86_64-w64-mingw32-objdump)
    set(frames 120)
    set(settings_replay 1)
  endif()
  kx_windows_check(NAME trace.recorder_pe_${arch} ARCH ${arch}
                   COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${objdump}
                           -DDLL=${tree}/bin/kxtrace/kxpwrvr.dll
                           -DEXPORTS=${CMAKE_SOURCE_DIR}/tests/driver/exports.txt
                           -P ${CMAKE_CURRENT_SOURCE_DIR}/trace/check_recorder_pe.cmake)
  if(KX_WINE)
    kx_wine_test(NAME wine.trace_${arch} ARCH ${arch} TIMEOUT 1800
                 COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace/wine_trace.sh ${KX_WINE_RUN} ${tree}/bin
                         ${KX_TRACE_BIN} ${KX_TRACE_WORK}/wine_${arch} ${frames} ${settings_replay})
  endif()
endforeach()

# The recorder stores exactly the bytes the driver reads: a program of its
# own, which loads the recorder and the driver by name as a host does (the
# test programs above link a driver in).
add_executable(test_trace_reads ${CMAKE_CURRENT_SOURCE_DIR}/trace/recorded_reads/recorded_reads_test.cpp)
target_link_libraries(test_trace_reads PRIVATE kxtrace_format kxhost_loader kxwin32 GTest::gtest_main)
add_dependencies(test_trace_reads kxpwrvr kxtrace_recorder sgl)
gtest_discover_tests(test_trace_reads TEST_PREFIX "trace." DISCOVERY_TIMEOUT 60
                     PROPERTIES ${KX_GTEST_PROPERTIES})
