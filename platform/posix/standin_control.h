// Test controls of the Linux stand-ins for Win32 and DirectDraw. Programs that
// run on the stand-ins (tests, the demo) use these to inspect the ground the
// driver stands on and to make it misbehave. By default everything behaves like
// a healthy machine and none of this needs to be touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/directdraw.h"

// ---- Failure injection, for any Win32 call or DirectDraw method ----
// Names: "GetActiveWindow", "ShowCursor", "Sleep", "lstrcmpA", "IsWindow",
// "LoadLibraryA", "GetProcAddress", "FreeLibrary", "OutputDebugStringA",
// "DirectDrawCreate", "IDirectDraw::<Method>", "IDirectDrawSurface::<Method>".
// The call numbered `fromCall` (1 = the next call of that name, counted from
// now) and the `times` - 1 calls after it fail (times < 0: every call from
// then on). A failing DirectDraw method returns `result` and does nothing; a
// failing Win32 call returns its failure value (null, FALSE) and `result` is
// not used.
void kxstandFailCall(const char* name, HRESULT result, int fromCall = 1, int times = 1);
void kxstandClearFailures();

// Calls made since load, by name (as above). The log holds every call in
// order, as "Name" or "Name(arg, ...)" for the calls whose arguments matter
// (SetCooperativeLevel, SetDisplayMode, WaitForVerticalBlank, Flip, Blt, Lock, Sleep).
int kxstandCallCount(const char* name);
const std::vector<std::string>& kxstandCallLog();
void kxstandClearCallLog();

// ---- Win32 ----
HWND kxstandDefaultWindow(); // the window that is active at start
HWND kxstandCreateWindow();
void kxstandDestroyWindow(HWND window);
void kxstandSetActiveWindow(HWND window); // null: no active window
int kxstandCursorCounter();               // ShowCursor's display counter, 0 at start
uint64_t kxstandClockMs();                // virtual clock that Sleep advances
const std::vector<std::string>& kxstandDebugLines(); // OutputDebugStringA lines
int kxstandLibraryLoads();                // successful LoadLibraryA of ddraw.dll
int kxstandLibraryFrees();                // successful FreeLibrary
int kxstandLibraryLoaded();               // loads minus frees

// ---- DirectDraw ----
void kxstandSetPixelFormat565(bool is565); // 565 (default) or 555
void kxstandSetPitch(int bytes);           // row pitch of every surface made from now on
void kxstandSetDriverCaps(DWORD dwCaps);   // DDCAPS::dwCaps reported for the driver
void kxstandSetModeSupported(bool ok);     // false: SetDisplayMode(640,480,16) is refused
void kxstandLoseSurfaces();                // every live surface becomes lost

// Pixels of the flipping chain by position: 0 = front (shown), 1 = back
// buffer (next shown), 2 = second back buffer. Null when there is no chain.
uint8_t* kxstandChainPixels(int position, int* pitch = nullptr, int* width = nullptr,
                            int* height = nullptr);

int kxstandLiveObjects();     // DirectDraw objects and surfaces not yet freed
int kxstandLockedSurfaces();  // surfaces currently locked
bool kxstandExclusive();      // exclusive full-screen level held
bool kxstandDisplayModeSet(); // 640x480x16 in force
