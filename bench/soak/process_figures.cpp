#include "bench/soak/process_figures.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

// One figure held flat: at most 1 % above its first value besides what is
// allowed (less is no leak); 0 failures when it reads 0 at the start (noted).
int checkOne(double then, double now, double allowed, const char* name, const char* unit,
             double scale, const char* what) {
    if (then <= 0) {
        std::printf("note: %s reads 0 on this system, not checked\n", name);
        return 0;
    }
    if (now - std::max(allowed, 0.0) <= then * 1.01) return 0;
    std::printf("FAIL: %s went %s from %.2f to %.2f %s (%.2f allowed beside 1 %%)\n", name, what,
                then / scale, now / scale, unit, allowed / scale);
    return 1;
}

} // namespace

std::string describeFigures(const ProcessFigures& f) {
    constexpr double kMiB = 1024.0 * 1024.0;
    char text[160];
    std::snprintf(text, sizeof text, "%ld handles (%ld counted), %.2f MiB private (%.2f committed)",
                  f.handles, f.countedHandles, double(f.privateBytes) / kMiB,
                  double(f.committedBytes) / kMiB);
    return text;
}

Allowance growthEach(const ProcessFigures& before, const ProcessFigures& after, int times) {
    Allowance g;
    g.handles = double(after.countedHandles - before.countedHandles) / times;
    g.privateBytes = (double(after.privateBytes) - double(before.privateBytes)) / times;
    g.committedBytes = (double(after.committedBytes) - double(before.committedBytes)) / times;
    return g;
}

Allowance sumOf(const Allowance& a, const Allowance& b, int times) {
    Allowance s;
    s.handles = times * (a.handles + b.handles);
    s.privateBytes = times * (a.privateBytes + b.privateBytes);
    s.committedBytes = times * (a.committedBytes + b.committedBytes);
    return s;
}

int checkFlat(const ProcessFigures& then, const ProcessFigures& now, const char* what,
              const Allowance& allowed) {
    constexpr double kMiB = 1024.0 * 1024.0;
    int failures = 0;
    if (then.handles <= 0 && then.countedHandles <= 0) {
        std::printf("FAIL: no count of handles reads more than 0\n");
        ++failures;
    }
    if (then.privateBytes == 0 && then.committedBytes == 0) {
        std::printf("FAIL: no count of private memory reads more than 0\n");
        ++failures;
    }
    failures += checkOne(double(then.handles), double(now.handles), allowed.handles,
                         "the handle count", "handles", 1, what);
    failures += checkOne(double(then.countedHandles), double(now.countedHandles), allowed.handles,
                         "the handles counted", "handles", 1, what);
    failures += checkOne(double(then.privateBytes), double(now.privateBytes), allowed.privateBytes,
                         "the private memory reported", "MiB", kMiB, what);
    failures += checkOne(double(then.committedBytes), double(now.committedBytes),
                         allowed.committedBytes, "the committed private memory", "MiB", kMiB, what);
    return failures;
}
