// The viewer's window on one system: frame_viewer_sdl.cpp (SDL2) or
// frame_viewer_windows.cpp (Win32). Only frame_viewer.cpp calls these.
#pragma once

#include <cstdint>
#include <string>

enum class ViewerKey { None, Pause, StepFrame, StepCall, Quit };

bool windowOpen(const char* title, int width, int height, std::string& error);
void windowClose();
void windowShow(const uint8_t* rgb, int width, int height, const std::string& caption);
// The next key pressed (or Quit when the window was closed), waiting up to
// waitMs for one; None when there is none.
ViewerKey windowNextKey(int waitMs);
