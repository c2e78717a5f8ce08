// The diagnostic print. The driver's messages go through it and are discarded
// in the product; a test build installs a sink to see them.
#pragma once

#if defined(__GNUC__)
#define KX_PRINTF_FORMAT(a, b) __attribute__((format(printf, a, b)))
#else
#define KX_PRINTF_FORMAT(a, b)
#endif

// printf-style; always returns 0.
int kxPrint(const char* format, ...) KX_PRINTF_FORMAT(1, 2);

typedef void (*KxDiagnosticSink)(const char* message);
// Not exported from the driver library: only code linked with the driver's
// objects (the tests) can install a sink.
void kxSetDiagnosticSink(KxDiagnosticSink sink);
