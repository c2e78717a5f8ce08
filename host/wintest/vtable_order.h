// Run-time check that our IDirectDraw and IDirectDrawSurface declare their
// methods in the order of the toolchain's <ddraw.h>, every method, including
// those the driver does not call yet.
#pragma once

// Reports each method whose table slot differs; returns the number of them.
int checkDirectDrawMethodOrder();
