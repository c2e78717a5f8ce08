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

// Calls made since load, by name (as above), failed ones included. The log
// holds every call in order, as "Name" or "Name(arg, ...)" for the calls whose
// arguments matter, flags in hexadecimal, numbers in decimal:
//   "Sleep(100)", "IDirectDraw::SetCooperativeLevel(0x11)",
//   "IDirectDraw::SetDisplayMode(640, 480, 16)", "IDirectDraw::WaitForVerticalBlank(0x4)",
//   "IDirectDrawSurface::Flip(0x1)", "IDirectDrawSurface::Blt(0x400)",
//   "IDirectDrawSurface::Lock(0x1)".
// AddRef and Release lines end with the count returned: "IDirectDrawSurface::Release -> 0".
// kxstandClearCallLog empties the log; the counts go on.
int kxstandCallCount(const char* name);
const std::vector<std::string>& kxstandCallLog();
void kxstandClearCallLog();
// Logging on or off (the default: the test programs turn it on); counts and
// failures work either way.
void kxstandSetCallLogging(bool on);
// Calls that a real system would punish: a method called on a freed object
// (or on a back buffer after its chain was released), DirectDrawCreate
// called while ddraw.dll is not loaded. Such calls fail with
// DDERR_INVALIDOBJECT and are reported on stderr. 0 for a sound program.
int kxstandDeadCalls();

// ---- Win32 ----
// A failing ShowCursor leaves the counter and returns it; a failing Sleep does
// not advance the clock; a failing lstrcmpA returns 0; a failing
// OutputDebugStringA captures nothing.
HWND kxstandDefaultWindow(); // the window that is active at start
HWND kxstandCreateWindow();
void kxstandDestroyWindow(HWND window);
void kxstandSetActiveWindow(HWND window); // null: no active window
int kxstandCursorCounter();               // ShowCursor's display counter, 0 at start
uint64_t kxstandClockMs();                // virtual clock that Sleep advances
uint64_t kxstandClockUs();                // the same in microseconds; a clock reading adds 1
const std::vector<std::string>&
kxstandDebugLines(); // OutputDebugStringA texts, one per call, as passed
void kxstandClearDebugLines();
int kxstandLibraryLoads();  // successful LoadLibraryA of ddraw.dll
int kxstandLibraryFrees();  // successful FreeLibrary
int kxstandLibraryLoaded(); // loads minus frees

// ---- DirectDraw ----
// Surfaces are 640 x 480 at 16 bits per pixel. New and restored surfaces hold
// garbage in which no 16-bit word is 0.
// Leftovers drawn (default) as above. Not drawn: memory made for a new chain
// before holds what the last chain left in it, and a restored chain its own
// pixels; for programs that never look at pixels a driver has not drawn and
// start or restore chains often (the fuzz harness).
void kxstandSetLeftovers(bool drawn);
void kxstandSetPixelFormat565(bool is565); // 565 (default) or 555, for surfaces made from now on
// Row pitch of every surface made from now on; 1536 by default. A negative
// pitch lays the rows out bottom-up; one smaller than a row of pixels (1280
// bytes) describes rows that overlap: a DirectDraw a driver must not trust.
void kxstandSetPitch(int bytes);
// Surfaces made from now on start `bytes` (0 to 15) past a 16-byte boundary; 0 by default.
void kxstandSetSurfaceOffset(int bytes);
// Writes found in the bytes just before a surface's rows (its alignment
// padding), checked at every call on the chain and here: a program that
// wrote outside the surface. Each is reported on stderr. 0 for a sound program.
int kxstandStrayWrites();
void kxstandSetDriverCaps(DWORD dwCaps); // DDCAPS::dwCaps reported for the driver
void kxstandSetModeSupported(bool ok); // false: SetDisplayMode(640,480,16) gives DDERR_UNSUPPORTED
void kxstandLoseSurfaces();            // every live surface becomes lost

// Pixels of the flipping chain by position: 0 = front (shown), 1 = back
// buffer (next shown), 2 = second back buffer. Null when there is no chain.
uint8_t* kxstandChainPixels(int position, int* pitch = nullptr, int* width = nullptr,
                            int* height = nullptr);

int kxstandLiveObjects();     // DirectDraw objects and surfaces not yet freed
int kxstandLockedSurfaces();  // surfaces currently locked
bool kxstandExclusive();      // exclusive full-screen level held
bool kxstandDisplayModeSet(); // 640x480x16 in force
