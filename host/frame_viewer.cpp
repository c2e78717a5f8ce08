// The viewer's keys and pacing, the same on every system; the window itself
// is frame_viewer_sdl.cpp or frame_viewer_windows.cpp.
#include "host/frame_viewer.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "host/frame_viewer_window.h"

namespace {

using Clock = std::chrono::steady_clock;

struct ViewerState {
    std::string name;
    bool paused = false;
    int frameSteps = 0; // frames to play to their end before pausing again
    int callSteps = 0;  // calls to play before pausing again
    bool quit = false;
    Clock::time_point lastPoll, lastFrame;
} viewer;

void onKey(ViewerKey key) {
    switch (key) {
    case ViewerKey::Pause:
        viewer.paused = !viewer.paused;
        viewer.frameSteps = 0;
        viewer.callSteps = 0;
        std::printf("%s: %s\n", viewer.name.c_str(),
                    viewer.paused ? "paused (Space plays on, N steps a frame, C a call, Q quits)"
                                  : "playing");
        break;
    case ViewerKey::StepFrame:
        viewer.paused = true;
        ++viewer.frameSteps;
        break;
    case ViewerKey::StepCall:
        viewer.paused = true;
        ++viewer.callSteps;
        break;
    case ViewerKey::Quit:
        viewer.quit = true;
        break;
    case ViewerKey::None:
        break;
    }
    std::fflush(stdout);
}

// Handles what is pending, waiting up to `waitMs` for the first key.
void poll(int waitMs) {
    for (ViewerKey key = windowNextKey(waitMs); key != ViewerKey::None; key = windowNextKey(0))
        onKey(key);
    viewer.lastPoll = Clock::now();
}

} // namespace

bool openViewer(const char* name, int width, int height, std::string& error) {
    viewer = ViewerState{};
    viewer.name = name;
    viewer.lastFrame = Clock::now();
    return windowOpen(name, width, height, error);
}

void closeViewer() {
    windowClose();
}

void viewerShow(const uint8_t* rgb, int width, int height, const std::string& caption) {
    windowShow(rgb, width, height, caption);
}

bool viewerMayGo() {
    // Input is looked at every few milliseconds, not at every call.
    if (viewer.paused || Clock::now() - viewer.lastPoll > std::chrono::milliseconds(5)) poll(0);
    while (!viewer.quit && viewer.paused && viewer.frameSteps == 0 && viewer.callSteps == 0)
        poll(50);
    if (viewer.quit) return false;
    if (viewer.paused && viewer.frameSteps == 0) --viewer.callSteps;
    return true;
}

void viewerFrameEnded(double fps) {
    if (viewer.frameSteps > 0) --viewer.frameSteps;
    if (fps > 0 && !viewer.paused) {
        const auto due = viewer.lastFrame + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(1.0 / fps));
        while (!viewer.quit && !viewer.paused && Clock::now() < due)
            poll(1);
    }
    viewer.lastFrame = Clock::now();
}

bool viewerPaused() {
    return viewer.paused;
}

bool viewerStepsCalls() {
    return viewer.paused && viewer.frameSteps == 0;
}

void viewerPause() {
    if (!viewer.paused) onKey(ViewerKey::Pause);
}

void viewerHold() {
    while (!viewer.quit)
        poll(100);
}
