// A window that shows frames as a replay or the demo plays them, with keys
// to pause and to step: SDL2 on Linux, a plain Win32 window on Windows.
// kxreplay --window and kxdemo --window use it.
//
// Keys: Space or P pauses and plays on, N or Right steps one frame, C or
// Down steps one call (where the player has calls), Q or Escape quits, and
// so does closing the window.
#pragma once

#include <cstdint>
#include <string>

// `name` prefixes the lines the viewer prints ("kxreplay: paused ...").
bool openViewer(const char* name, int width, int height, std::string& error);
void closeViewer();
// Shows width x height RGB pixels, rows top to bottom, with a caption in the
// window's title.
void viewerShow(const uint8_t* rgb, int width, int height, const std::string& caption);

// Before each step of play (a call, or a frame where there are no calls):
// handles the keys and waits while paused until a key steps, plays on or
// quits. False once the viewer was told to quit.
bool viewerMayGo();
// A frame ended: a frame step stops here, and play is held to `fps` frames a
// second (0: as fast as it goes).
void viewerFrameEnded(double fps);
// Paused, or stepping.
bool viewerPaused();
// Stepping call by call: the player shows what each call did.
bool viewerStepsCalls();
// Pauses play, as the pause key does.
void viewerPause();
// Waits, showing what is on screen, until the viewer is told to quit.
void viewerHold();
