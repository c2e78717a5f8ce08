// Runs the driver fuzz harness over files (the seed corpus) without libFuzzer,
// so the ordinary and sanitizer test builds exercise it too. The inputs run in one
// process, one driver start serving them as in a fuzz run.
//
//   fuzz_replay FILE...              replay, then shut down and check
//   fuzz_replay --fresh-check FILE...
//       also runs each input in a fresh process and compares the platform
//       calls and driver messages of its steps with those of the run after
//       the inputs before it: a difference means the end of an input did not
//       give the next one the state of a fresh start.
//   fuzz_replay --one-fresh FILE     (used by --fresh-check) prints that record
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/driver_fuzzer.h"
#include "fuzz/persistent_start.h"

namespace {

std::vector<uint8_t> readFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
}

// The record of `path` run first thing in a new process of this program.
bool freshRecord(const char* self, const char* path, std::string* record) {
    int out[2];
    if (pipe(out) != 0) return false;
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(self, self, "--one-fresh", path, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    char chunk[65536];
    for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;)
        record->append(chunk, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void reportDifference(const char* path, const std::string& fresh, const std::string& after) {
    size_t at = 0;
    while (at < fresh.size() && at < after.size() && fresh[at] == after[at])
        ++at;
    // The line of the first difference, in both records.
    size_t line = fresh.rfind('\n', at ? at - 1 : 0);
    line = line == std::string::npos || at == 0 ? 0 : line + 1;
    auto lineAt = [line](const std::string& record) {
        size_t end = record.find('\n', line);
        return line < record.size() ? record.substr(line, end - line) : std::string("(end)");
    };
    std::fprintf(stderr,
                 "%s: its steps differ after a fresh start and after the inputs before it\n"
                 "  fresh: %s\n  after: %s\n",
                 path, lineAt(fresh).c_str(), lineAt(after).c_str());
}

} // namespace

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    int first = 1;
    bool freshCheck = false;
    if (argc > 2 && std::strcmp(argv[1], "--one-fresh") == 0) {
        recordSteps(true);
        std::vector<uint8_t> bytes = readFile(argv[2]);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        std::fwrite(lastStepsRecord().data(), 1, lastStepsRecord().size(), stdout);
        finishHarness();
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--fresh-check") == 0) {
        freshCheck = true;
        first = 2;
        recordSteps(true);
    }
    int ran = 0, differing = 0;
    for (int i = first; i < argc; ++i) {
        std::vector<uint8_t> bytes = readFile(argv[i]);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++ran;
        if (!freshCheck) continue;
        std::string fresh;
        if (!freshRecord(argv[0], argv[i], &fresh)) {
            std::fprintf(stderr, "%s: the fresh run failed\n", argv[i]);
            ++differing;
        } else if (fresh != lastStepsRecord()) {
            reportDifference(argv[i], fresh, lastStepsRecord());
            ++differing;
        }
    }
    finishHarness();
    std::printf("replayed %d input(s)", ran);
    if (freshCheck) std::printf(", %d differing from a fresh start", differing);
    std::printf("\n");
    return ran > 0 && differing == 0 ? 0 : 1;
}
