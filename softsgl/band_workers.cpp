// The band scheduler: the rows' split into bands, corrected by the last
// frame's band times (kept here alone), and the workers that draw them.
//
// The band workers. One protocol, kept small: worker k has two signals,
// `go` and `done` (a semaphore each; auto-reset events on Windows). The
// caller writes the job, posts `go` to the workers the job needs, draws band
// set 0 itself and waits for their `done`; a worker waits for `go`, draws its
// band set and posts `done`. Posting and waiting order the memory, so the
// job's fields need no lock. Workers a job does not need are not woken.
//
// Windows: the workers are started by sgltri_render, never in DllMain (the
// loader lock would deadlock the wait), and each holds a reference to
// sgl.dll, dropped as it exits (FreeLibraryAndExitThread): a host that
// unloads the library while they live does not pull the code from under
// them. sgl_delete_device of the last device ends them. At process exit
// they are simply ended with the process: nothing here has a destructor
// that waits. Only calls that Windows XP has are used.
#include "softsgl/band_workers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <semaphore.h>
#include <unistd.h>

#include "platform/win32.h" // OutputDebugStringA of the stand-ins
#endif

#include "settings/settings.h"
#include "softsgl/softsgl_control.h"
#include "softsgl/softsgl_state.h"

namespace softsgl {
namespace {

#if defined(_WIN32)
using Signal = HANDLE;
using Thread = HANDLE;
bool makeSignal(Signal& s) {
    s = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return s != nullptr;
}
void dropSignal(Signal& s) {
    CloseHandle(s);
}
void post(Signal& s) {
    SetEvent(s);
}
void waitFor(Signal& s) {
    WaitForSingleObject(s, INFINITE);
}
#else
using Signal = sem_t;
using Thread = pthread_t;
bool makeSignal(Signal& s) {
    return sem_init(&s, 0, 0) == 0;
}
void dropSignal(Signal& s) {
    sem_destroy(&s);
}
void post(Signal& s) {
    sem_post(&s);
}
void waitFor(Signal& s) {
    while (sem_wait(&s) != 0) {
    } // interrupted by a signal handler: wait again
}
#endif

struct Worker {
    int index; // the band set it draws
    Signal go, done;
    Thread thread;
#if defined(_WIN32)
    HMODULE library;
#endif
};
Worker pool[kMaxBandThreads];
int workers = 0; // running: pool[0 .. workers - 1], band sets 1 .. workers

// The job; written by the caller before it posts `go`.
BandJobFunction job = nullptr;
void* jobData = nullptr;
int jobCount = 1;
bool stopping = false;

int threadsWanted = 0; // softsglSetThreads; 0: the default

// The last frame drawn on several threads, band by band. How long a band
// took per unit of judged work corrects the judgement of the next frame's
// rows there (texels far apart, blending, a busy core): similar frames in a
// row then share out evenly.
BandSplit lastSplit{};
int lastCount = 0; // its bands; 0: none yet
// Band times a test gives instead of the measured ones (softsglSetBandSeconds).
std::vector<double> givenSeconds;

void work(Worker& w) {
    for (;;) {
        waitFor(w.go);
        if (stopping) return;
        job(jobData, w.index, jobCount);
        post(w.done);
    }
}

#if defined(_WIN32)
DWORD WINAPI workerMain(void* p) {
    Worker& w = *static_cast<Worker*>(p);
    work(w);
    FreeLibraryAndExitThread(w.library, 0);
}
#else
void* workerMain(void* p) {
    work(*static_cast<Worker*>(p));
    return nullptr;
}
#endif

// Starts workers until band sets 1 .. count - 1 have one; false if the
// system refuses (the frame is then drawn by the threads there are).
bool startWorkers(int count) {
    while (workers < count - 1) {
        Worker& w = pool[workers];
        w.index = workers + 1;
        if (!makeSignal(w.go)) return false;
        if (!makeSignal(w.done)) {
            dropSignal(w.go);
            return false;
        }
        bool started;
#if defined(_WIN32)
        started = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                     reinterpret_cast<LPCWSTR>(&workerMain), &w.library);
        if (started) {
            w.thread = CreateThread(nullptr, 0, workerMain, &w, 0, nullptr);
            started = w.thread != nullptr;
            if (!started) FreeLibrary(w.library);
        }
#else
        started = pthread_create(&w.thread, nullptr, workerMain, &w) == 0;
#endif
        if (!started) {
            dropSignal(w.go);
            dropSignal(w.done);
            return false;
        }
        ++workers;
    }
    return true;
}

int defaultThreads() {
    {
        const int n = kxSettings().threads;
        if (n >= 1 && n <= kMaxBandThreads) {
            // Named on the debugger output, where a test of a Windows build sees it.
            char line[32];
            std::snprintf(line, sizeof line, "softsgl: threads %d\n", n);
            OutputDebugStringA(line);
            return n;
        }
    }
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    long cores = long(info.dwNumberOfProcessors);
#else
    long cores = sysconf(_SC_NPROCESSORS_ONLN);
#endif
    return cores < 1 ? 1 : cores > kMaxBandThreads ? kMaxBandThreads : int(cores);
}

} // namespace

int bandThreads() {
    static const int byDefault = defaultThreads();
    return threadsWanted > 0 ? threadsWanted : byDefault;
}

int readyBandThreads(int count) {
    return count > 1 && !startWorkers(count) ? workers + 1 : count;
}

void runBands(int count, BandJobFunction f, void* data) {
    count = std::min(count, workers + 1);
    if (count <= 1) {
        f(data, 0, 1);
        return;
    }
    job = f;
    jobData = data;
    jobCount = count;
    for (int k = 0; k < count - 1; ++k)
        post(pool[k].go);
    f(data, 0, count);
    for (int k = 0; k < count - 1; ++k)
        waitFor(pool[k].done);
}

double bandClock() {
#if defined(_WIN32)
    // Asked each time: the band workers call this, and a static made on
    // first use is not safe for them (see kx_softsgl_options).
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(f.QuadPart);
#else
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
#endif
}

// A row of a primitive costs its half width and a little more, a primitive
// its setup too.
void splitRows(const Frame& frame, int32_t height, int count, BandSplit& split) {
    std::vector<int64_t> step(size_t(height) + 1, 0); // per-row cost, as differences
    for (const QueuedPrimitive& p : frame.primitives) {
        const int32_t top = p.top, bottom = std::min<int32_t>(p.bottom, height - 1);
        if (top > bottom) continue;
        step[size_t(top)] += p.width / 2 + 8 + 64; // the setup on its first row
        step[size_t(top) + 1] -= 64;
        step[size_t(bottom) + 1] -= p.width / 2 + 8;
    }
    // Seconds per unit of judged work on each of the last frame's bands,
    // held within a factor of 4 of their mean.
    double rate[kMaxBandThreads];
    bool corrected = lastCount == count && lastSplit.start[count] == height;
    double meanRate = 0;
    for (int k = 0; corrected && k < count; ++k) {
        corrected = lastSplit.estimate[k] > 0 && lastSplit.seconds[k] > 0;
        rate[k] = corrected ? lastSplit.seconds[k] / lastSplit.estimate[k] : 0;
        meanRate += rate[k] / count;
    }
    std::vector<double> judged(size_t(height) + 1, 0), total(size_t(height) + 1, 0);
    int64_t perRow = 16; // a row's clear
    for (int32_t y = 0, k = 0; y < height; ++y) {
        perRow += step[size_t(y)];
        const double cost = double(perRow);
        judged[size_t(y) + 1] = judged[size_t(y)] + cost;
        while (corrected && y >= lastSplit.start[k + 1])
            ++k;
        const double factor = corrected ? std::min(std::max(rate[k] / meanRate, 0.25), 4.0) : 1.0;
        total[size_t(y) + 1] = total[size_t(y)] + cost * factor;
    }
    int32_t* bandStart = split.start;
    bandStart[0] = 0;
    for (int k = 1; k < count; ++k) {
        const double share = total[size_t(height)] * k / count;
        // The first row whose cost reaches the share, leaving every band
        // at least kMinBandRows rows.
        int32_t y = int32_t(std::lower_bound(total.begin(), total.end(), share) - total.begin());
        bandStart[k] = std::min(std::max(y, bandStart[k - 1] + kMinBandRows),
                                height - (count - k) * kMinBandRows);
    }
    bandStart[count] = height;
    for (int k = 0; k < count; ++k)
        split.estimate[k] = judged[size_t(bandStart[k + 1])] - judged[size_t(bandStart[k])];
}

void noteBandTimes(int count, BandSplit& split) {
    for (int k = 0; k < count && !givenSeconds.empty(); ++k)
        split.seconds[k] = givenSeconds[size_t(k) % givenSeconds.size()];
    if (count > 1) {
        lastSplit = split;
        lastCount = count;
    }
}

void stopBandWorkers() {
    stopping = true;
    for (int k = 0; k < workers; ++k)
        post(pool[k].go);
    for (int k = 0; k < workers; ++k) {
        Worker& w = pool[k];
#if defined(_WIN32)
        WaitForSingleObject(w.thread, INFINITE);
        CloseHandle(w.thread);
#else
        pthread_join(w.thread, nullptr);
#endif
        dropSignal(w.go);
        dropSignal(w.done);
    }
    workers = 0;
    stopping = false;
}

} // namespace softsgl

void softsglSetThreads(int count) {
    softsgl::threadsWanted = count >= 1 && count <= softsgl::kMaxBandThreads ? count : 0;
}

int softsglThreads() {
    return softsgl::bandThreads();
}

void softsglSetBandSeconds(const double* seconds, int count) {
    softsgl::givenSeconds.assign(seconds, seconds + (seconds && count > 0 ? count : 0));
}
