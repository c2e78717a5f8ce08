// The driver library as a host engine meets it: exactly the listed entry
// points visible by name, nothing else of the driver. The list is the
// tests' own (exports.txt here), not the table the build exports from.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

std::string binaryDir() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = 0;
    std::string s(path);
    return s.substr(0, s.rfind('/'));
}

std::set<std::string> listedExports() {
    std::set<std::string> names;
    std::ifstream in(KX_SOURCE_DIR "/tests/driver/exports.txt");
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') names.insert(line);
    return names;
}

} // namespace

TEST(Exports, DynamicSymbolTableHoldsExactlyTheList) {
    std::string command = "nm -D --defined-only " + binaryDir() + "/libkxpwrvr.so";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char type;
    char name[512];
    char address[64];
    while (std::fscanf(pipe, "%63s %c %511s", address, &type, name) == 3)
        if (type == 'T' || type == 'D' || type == 'B' || type == 'R') exported.insert(name);
    pclose(pipe);
    EXPECT_EQ(exported, listedExports());
}
