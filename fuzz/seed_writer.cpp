// Writes the hand-made seeds of the driver fuzzer and its dictionary:
//   kxfuzz_seeds CORPUS_DIR DICTIONARY_FILE
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR DICTIONARY_FILE\n", argv[0]);
        return 2;
    }
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
