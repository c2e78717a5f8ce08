// One driver start serves many fuzz inputs. Each input begins from the state
// a fresh start gives (Init, then the small render area); what an input
// changed is undone after it through the exports and the stand-ins' controls,
// and the driver is started afresh only when that cannot be done or after
// a number of inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What an input did that the end of the input must undo.
struct InputEffects {
    bool started = true;            // the driver is started (as far as the steps know)
    bool restartAsked = false;      // a machine step changed what a start gets
    bool libraryChanged = false;    // version text or texture budget
    bool paletteLoaded = false;     // the global palette is the host's
    bool resolutionChanged = false; // ChangeResolution, or a start inside the input
    bool frameTouched = false;      // primitives queued, or the scene rendered by a blit
    bool surfacesLost = false;
    bool unlockFailed = false; // a failing Unlock may leave a surface locked
};

// The render area inputs start in (320 x 200): a fifth of the full screen's
// clearing per rendered frame. An input asks for another with ChangeResolution.
constexpr int32_t kStartResolution = 0;

// Settings read from the environment, and the first start.
void startHarness();
// Called after each input's steps: undoes its effects, checks that nothing
// leaked, and restarts the driver when needed.
void endInput(const InputEffects& effects, const uint8_t* data, size_t size);
// A last shut-down with the checks of a restart point (replay runs).
void finishHarness();

// Check mode: the platform calls and driver messages of each input's steps,
// as text without addresses, so that a run right after a fresh start and a
// run after other inputs can be compared.
void recordSteps(bool on);
void beginSteps();
const std::string& lastStepsRecord(); // of the last input, taken before its end
