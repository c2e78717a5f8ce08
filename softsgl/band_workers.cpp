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
    static const double perSecond = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / perSecond;
#else
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
#endif
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
