#include "diag/diag.h"

#include <cstdarg>
#include <cstdio>

static KxDiagnosticSink diagnosticSink = nullptr;

void kxSetDiagnosticSink(KxDiagnosticSink sink) {
    diagnosticSink = sink;
}

int kxPrint(const char* format, ...) {
    // Nothing listens in the product, so formatting would be wasted work.
    if (!diagnosticSink) return 0;
    char message[512];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    diagnosticSink(message);
    return 0;
}
