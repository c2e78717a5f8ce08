# The driver fuzz harness's sources, shared by the fuzzer (kxfuzz) and the
# replay program of the test builds (fuzz_replay).
set(KX_FUZZ_HARNESS_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/driver_fuzzer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/persistent_start.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pooled_buffers.cpp)
