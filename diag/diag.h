// The diagnostic print. The driver's messages go through it. By default they
// go nowhere; the log setting (kxpwrvr.ini's `log`, KXPWRVR_LOG) asks for
// them: a file name appends them to that file, each with the local time, and
// "debug" sends them to the debugger output. A test build installs a sink
// instead.
#pragma once

#if defined(__GNUC__)
#define KX_PRINTF_FORMAT(a, b) __attribute__((format(printf, a, b)))
#else
#define KX_PRINTF_FORMAT(a, b)
#endif

// printf-style; always returns 0.
int kxPrint(const char* format, ...) KX_PRINTF_FORMAT(1, 2);

// At most this many messages of one process reach the log (then one line
// saying so), so that a host repeating a faulty call every frame cannot fill
// the disk.
constexpr int kMaxLogMessages = 10000;

// The settings' lines that could not be used (kxpwrvr.ini, the variables),
// once a process: in the log when it is on, else on the debugger output.
void kxReportSettingProblems();

typedef void (*KxDiagnosticSink)(const char* message);
// Not exported from the driver library: only code linked with the driver's
// objects (the tests) can install a sink. A sink takes every message in
// place of the log.
void kxSetDiagnosticSink(KxDiagnosticSink sink);
