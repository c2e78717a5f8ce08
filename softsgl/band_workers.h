// Drawing a frame in bands on several threads: worker threads that softsgl
// starts the first time a frame wants them and keeps for later frames;
// every call returns only when all its bands are drawn, so rendering stays
// synchronous for the caller. The rows are shared out by the work judged on
// them, corrected by the times the last frame's bands took.
#pragma once

#include <cstdint>

namespace softsgl {

struct Frame;

constexpr int kMaxBandThreads = 8;
// The fewest rows a thread is given when the frame is drawn by several.
constexpr int32_t kMinBandRows = 16;

// A frame's rows shared out: band k is rows start[k] .. start[k + 1] - 1.
struct BandSplit {
    int32_t start[kMaxBandThreads + 1];
    double estimate[kMaxBandThreads]; // the work judged to be on each band
    double seconds[kMaxBandThreads];  // and the time it took
};

// Shares `height` rows out into `count` bands (2 .. kMaxBandThreads, each of
// at least kMinBandRows rows) of about equal work, judged from the frame's
// primitives and corrected by the last frame's band times.
void splitRows(const Frame& frame, int32_t height, int count, BandSplit& split);

// Keeps the band times of a frame drawn on `count` bands (replaced by those
// a test gave, softsglSetBandSeconds) to correct the next frame's split.
void noteBandTimes(int count, BandSplit& split);

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
