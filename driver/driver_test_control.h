// Test control of the driver, not exported: only code linked with the
// driver's objects (the tests) can call it.
#pragma once

// What the library does when its host frees it without Shutdown (on
// Windows, from DllMain): the started session is noted for the next Init to
// end, and the driver is no longer started. A test calls it where freeing
// the library is not in its hands.
void kxLeaveSession();
