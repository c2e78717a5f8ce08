// A thread that ends the process when a run takes too long, so that a hang in
// the driver or in DirectDraw fails the run instead of stalling it.
#pragma once

// After `seconds`, prints why and a final "DONE:" line that counts the hang as
// one more failure, and terminates the process with exit code 3.
void startWatchdog(unsigned seconds);
