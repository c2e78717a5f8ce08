// Test control of the texture layer, not exported: only code linked with the
// driver's objects (the tests) can call it.
#pragma once

// From the fromCall-th record allocation on (1 = the next one), allocations
// fail as if memory were exhausted; 0 lets them succeed.
void kxSetRecordAllocationFailure(int fromCall);
