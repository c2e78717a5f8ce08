// Drawing a frame in bands on several threads: worker threads that softsgl
// starts the first time a frame wants them and keeps for later frames;
// every call returns only when all its bands are drawn, so rendering stays
// synchronous for the caller.
#pragma once

namespace softsgl {

constexpr int kMaxBandThreads = 8;

using BandJobFunction = void (*)(void* data, int index, int count);

// Starts the workers `count` threads need (count at most kMaxBandThreads)
// and returns how many threads there are: fewer when the system refuses.
int readyBandThreads(int count);

// Runs job(data, index, count) for index 0 .. count - 1 (count as
// readyBandThreads returned it): index 0 on the calling thread, the others
// on workers, and returns when all have finished.
void runBands(int count, BandJobFunction job, void* data);

// The threads a frame is drawn on: set with softsglSetThreads, else the
// environment variable KXPWRVR_THREADS (1 to kMaxBandThreads), else the
// processor's cores, at most kMaxBandThreads.
int bandThreads();

// A steady clock in seconds, for timing bands.
double bandClock();

// Ends the workers and waits for them (the last device is deleted; a later
// frame starts them again). Never called while a frame is drawn.
void stopBandWorkers();

} // namespace softsgl
