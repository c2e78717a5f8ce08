// Writes the hand-made seeds of the driver fuzzer, its dictionary, and the
// steps each of them is written for (which the test fuzz.SeedSteps holds
// the committed files to):
//   kxfuzz_seeds CORPUS_DIR DICTIONARY_FILE STEPS_FILE
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/seeds.h"

namespace {

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR DICTIONARY_FILE STEPS_FILE\n", argv[0]);
        return 2;
    }
    std::string steps = "# The steps each named seed and dictionary entry is written for "
                        "(written by kxfuzz_seeds).\n";
    for (const std::vector<Seed>& inputs : {namedSeeds(), dictionaryTokens()})
        for (const Seed& input : inputs) {
            steps += input.name + "\n";
            for (const std::string& step : input.steps)
                steps += "  " + step + "\n";
        }
    if (!writeFile(argv[3], std::vector<uint8_t>(steps.begin(), steps.end()))) return 1;
    for (const Seed& seed : namedSeeds())
        if (!writeFile(std::string(argv[1]) + "/" + seed.name, seed.bytes)) return 1;
    std::string dictionary =
        "# Whole steps of the driver fuzzer's input (written by kxfuzz_seeds).\n";
    for (const Seed& token : dictionaryTokens()) {
        dictionary += token.name + "=\"";
        char escaped[8];
        for (uint8_t b : token.bytes) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            dictionary += escaped;
        }
        dictionary += "\"\n";
    }
    return writeFile(argv[2], std::vector<uint8_t>(dictionary.begin(), dictionary.end())) ? 0 : 1;
}
