// The fuzz input's layout holds: every named seed of the corpus and every
// step of the dictionary decodes, through the harness itself, to the steps
// the seed writer wrote it for, which fuzz/seed_steps.txt keeps as they were
// when the files were written; the committed files as well as the bytes the
// writer makes now. A change to the decoder or to a value of the layout that
// changes what the committed inputs mean fails here rather than quietly.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/driver_fuzzer.h"
#include "fuzz/seeds.h"

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
}

// The steps the harness decodes from an input, as it runs them.
std::vector<std::string> decode(const std::vector<uint8_t>& bytes) {
    static const bool started = [] {
        int argc = 0;
        char** argv = nullptr;
        return LLVMFuzzerInitialize(&argc, &argv) == 0;
    }();
    EXPECT_TRUE(started);
    std::vector<std::string> steps;
    setStepSink(&steps);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    setStepSink(nullptr);
    return steps;
}

// The entries of a dictionary file: name="\xNN..." lines.
std::vector<std::pair<std::string, std::vector<uint8_t>>> dictionary(const std::string& path) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        size_t equals = line.find("=\"");
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        std::vector<uint8_t> bytes;
        for (size_t at = equals + 2; at + 4 <= line.size() && line.compare(at, 2, "\\x") == 0;
             at += 4)
            bytes.push_back(uint8_t(std::stoi(line.substr(at + 2, 2), nullptr, 16)));
        entries.emplace_back(line.substr(0, equals), bytes);
    }
    return entries;
}

// The steps of fuzz/seed_steps.txt: a name a line, its steps indented below.
std::map<std::string, std::vector<std::string>> committedSteps() {
    std::map<std::string, std::vector<std::string>> steps;
    std::ifstream file(KX_SOURCE_DIR "/fuzz/seed_steps.txt");
    std::vector<std::string>* current = nullptr;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.compare(0, 2, "  ") != 0)
            current = &steps[line];
        else if (current)
            current->push_back(line.substr(2));
    }
    return steps;
}

// The first step where the two lists differ, each side named.
void expectSteps(const std::vector<std::string>& got, const std::vector<std::string>& meant,
                 const char* gotSide = "decodes as", const char* meantSide = "was written as") {
    for (size_t i = 0; i < std::max(got.size(), meant.size()); ++i) {
        const std::string none = "(no step)";
        const std::string& left = i < got.size() ? got[i] : none;
        const std::string& right = i < meant.size() ? meant[i] : none;
        if (left != right) {
            ADD_FAILURE() << "step " << i + 1 << " " << gotSide << "\n  " << left << "\nbut "
                          << meantSide << "\n  " << right;
            return;
        }
    }
}

// The writer's steps against those kept when the files were written.
void expectKept(const std::vector<std::string>& written, const std::vector<std::string>& kept) {
    expectSteps(written, kept, "is written now as",
                "fuzz/seed_steps.txt keeps (kxfuzz_seeds rewrites the files)");
}

} // namespace

TEST(SeedSteps, NamedSeedsDecodeToTheStepsTheyWereWrittenFor) {
    const std::vector<Seed> seeds = namedSeeds();
    const auto committed = committedSteps();
    ASSERT_FALSE(seeds.empty());
    for (const Seed& seed : seeds) {
        SCOPED_TRACE(seed.name);
        ASSERT_FALSE(seed.steps.empty());
        ASSERT_EQ(committed.count(seed.name), 1u) << "not in fuzz/seed_steps.txt";
        expectKept(seed.steps, committed.at(seed.name));
        expectSteps(decode(seed.bytes), seed.steps);
        const std::vector<uint8_t> file = readFile(KX_SOURCE_DIR "/fuzz/corpus/" + seed.name);
        ASSERT_FALSE(file.empty()) << "not in fuzz/corpus (kxfuzz_seeds writes it)";
        expectSteps(decode(file), seed.steps);
    }
}

TEST(SeedSteps, DictionaryEntriesAreTheStepsTheyWereWrittenFor) {
    const std::vector<Seed> tokens = dictionaryTokens();
    const auto committed = dictionary(KX_SOURCE_DIR "/fuzz/driver.dict");
    const auto steps = committedSteps();
    ASSERT_EQ(committed.size(), tokens.size()) << "fuzz/driver.dict is not the writer's";
    for (size_t i = 0; i < tokens.size(); ++i) {
        SCOPED_TRACE(tokens[i].name);
        EXPECT_EQ(committed[i].first, tokens[i].name);
        EXPECT_EQ(committed[i].second, tokens[i].bytes);
        ASSERT_EQ(tokens[i].steps.size(), 1u + (tokens[i].name == "lose_and_blit"));
        ASSERT_EQ(steps.count(tokens[i].name), 1u) << "not in fuzz/seed_steps.txt";
        expectKept(tokens[i].steps, steps.at(tokens[i].name));
        expectSteps(decode(tokens[i].bytes), tokens[i].steps);
    }
}
