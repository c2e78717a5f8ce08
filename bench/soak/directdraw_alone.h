// The system's own cost of a start: what DirectDraw alone keeps of the
// handles and memory of a start and stop as the driver makes them, ddraw.dll
// loaded and freed each time (Wine's keeps some every time). kxcycle allows
// the pair exactly that much more per cycle, and no more.
#pragma once

#include "bench/soak/process_figures.h"

// Measures it on the host's active window: `starts` starts and stops after
// one to warm up. False when DirectDraw does not start.
bool measureDirectDrawCost(int starts, Allowance& stopped);
