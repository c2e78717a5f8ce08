#include "bench/soak/process_figures.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <unistd.h>

ProcessFigures processFigures() {
    ProcessFigures f;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (const dirent* e = readdir(fds))
            f.handles += e->d_name[0] != '.';
        closedir(fds);
        --f.handles; // the listing's own
    }
    // What Wine reports as private usage on Linux: RssAnon (and swap).
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned long kib = 0;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "RssAnon: %lu", &kib) == 1 ||
                std::sscanf(line, "VmSwap: %lu", &kib) == 1)
                f.privateBytes += uint64_t(kib) * 1024;
        std::fclose(status);
    }
    return f;
}

void leakOneHandle() {
    (void)dup(0);
}

void leakOneMebibyte() {
    static std::vector<void*> leaked;
    leaked.push_back(std::memset(std::malloc(1 << 20), 0x5A, 1 << 20));
}
