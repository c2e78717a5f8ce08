// The hand-made inputs of the driver fuzzer: the named seeds of corpus/ and
// the whole steps of driver.dict, each with the steps it is written for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Seed {
    std::string name;
    std::vector<uint8_t> bytes;
    std::vector<std::string> steps; // lines of step_text.h, one a step
};

std::vector<Seed> namedSeeds();       // "seed_..." files of the corpus
std::vector<Seed> dictionaryTokens(); // entries of the dictionary
