// The system's own cost of a start: what DirectDraw alone keeps of the
// handles and memory of a start and stop as the driver makes them (Wine's
// keeps some every time), and of a start never stopped (a host freeing the
// driver without Shutdown leaves the driver's DirectDraw objects alive).
// kxcycle allows the pair exactly that much more per cycle, and no more.
#pragma once

#include "bench/soak/process_figures.h"

// Measures both costs on the host's active window: `starts` starts and
// stops after one to warm up, then one start left running (so call it
// last). False when DirectDraw does not start.
bool measureDirectDrawCost(int starts, Allowance& stopped, Allowance& leftRunning);
