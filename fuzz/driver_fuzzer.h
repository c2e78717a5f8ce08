// The driver harness's entry points, for the programs that run it without
// libFuzzer (fuzz_replay, the seed test).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// From now on every decoded step is appended to `sink` as a line of
// step_text.h (null: no more).
void setStepSink(std::vector<std::string>* sink);
