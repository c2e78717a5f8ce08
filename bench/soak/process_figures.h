// What a long-running host watches for leaks: the process's open handles
// and its private memory, each as the system reports it and as counted.
// Wine (8.0) reports no handles (GetProcessHandleCount gives 0), so the
// count is what a run under Wine can check.
#pragma once

#include <cstdint>
#include <string>

struct ProcessFigures {
    // Windows: GetProcessHandleCount; Linux: open descriptors.
    long handles = 0;
    // Windows: the handle values GetHandleInformation accepts; Linux: as
    // `handles`.
    long countedHandles = 0;
    // Windows: GetProcessMemoryInfo's PrivateUsage (PagefileUsage under
    // Wine, which reports there the process's resident anonymous memory);
    // Linux: that same resident anonymous memory (and swap).
    uint64_t privateBytes = 0;
    // Windows: the committed private memory VirtualQuery walks over;
    // Linux: as `privateBytes`.
    uint64_t committedBytes = 0;
};

ProcessFigures processFigures();
// "12 handles (12 counted), 3.50 MiB private (3.40 committed)".
std::string describeFigures(const ProcessFigures& f);

// Growth that is not the program's to answer for (the system's own).
struct Allowance {
    double handles = 0;
    double privateBytes = 0;
    double committedBytes = 0;
};

// The growth from `before` to `after` of each figure, divided by `times`.
Allowance growthEach(const ProcessFigures& before, const ProcessFigures& after, int times);
// The sum of two allowances, each taken `times` times.
Allowance sumOf(const Allowance& a, const Allowance& b, int times);

// Holds each figure of `now` that reads more than 0 in `then` to at most 1 %
// above it (plus `allowed`; less is no leak), printing a line for each that is not and a note for
// each that reads 0 (not checked); a figure of each kind must read more
// than 0. Returns the failures; `what` names the moments ("from cycle 10 to
// cycle 20").
int checkFlat(const ProcessFigures& then, const ProcessFigures& now, const char* what,
              const Allowance& allowed = {});

// Leaks, on purpose, so that a run shows the figures move: one handle, or
// one MiB of touched memory.
void leakOneHandle();
void leakOneMebibyte();
