// The driver library as a host engine meets it: loaded by name, every entry
// point found by name, nothing else of the driver visible.
#include <gtest/gtest.h>

#include <dlfcn.h>
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
    std::ifstream in(KX_SOURCE_DIR "/driver/exports.txt");
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') names.insert(line);
    return names;
}

} // namespace

TEST(Exports, HostFindsEveryEntryPointByName) {
    std::set<std::string> names = listedExports();
    EXPECT_EQ(names.size(), 28u);
    std::string path = binaryDir() + "/libkxpwrvr.so";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const std::string& name : names) EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
    for (const char* internal : {"kxPrint", "ddrawInit", "textureCache", "sglContext", "blt"})
        EXPECT_EQ(dlsym(library, internal), nullptr) << internal;

    using GetIDFn = const char* (*)();
    auto getId = reinterpret_cast<GetIDFn>(dlsym(library, "GetID"));
    ASSERT_NE(getId, nullptr);
    EXPECT_STREQ(getId(), "PowerVR PCX-2");
    dlclose(library);
}

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
