// The test host's verdicts: every failed check is printed with "FAIL:" and
// counted; passing steps print "ok:" lines so that a log shows how far a run got.
#pragma once

int fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Counts a failure with the message when `condition` is false.
bool check(bool condition, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A line of evidence under a failure; not counted.
void detail(const char* format, ...) __attribute__((format(printf, 1, 2)));
int failureCount();
