// The system's own costs, measured with DirectDraw alone (ddraw.dll, the
// calls the driver makes, no driver): what a long-running host may see its
// figures grow by without the pair leaking anything. kxcycle and kxsoak
// allow the pair exactly that much more, and no more.
#pragma once

#include "bench/soak/process_figures.h"

// What a start and stop as the driver makes them keeps, ddraw.dll loaded
// and freed each time (Wine's keeps some every time): `starts` starts and
// stops after one to warm up, on the host's active window. False when
// DirectDraw does not start.
bool measureDirectDrawCost(int starts, Allowance& stopped);

// What a frame as the driver shows it keeps (the back buffer locked,
// written and unlocked, the chain flipped): `frames` frames after 100 to
// warm up, in one start on the host's active window. Wine's DirectDraw
// grows the process's resident memory a little with every lock and flip
// (its own side of the display, not the program's committed memory).
// False when DirectDraw does not start.
bool measureDirectDrawFrames(int frames, Allowance& each);
