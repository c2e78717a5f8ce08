// Calls as text, one a line, with the interface's argument names: for
// "kxtrace dump" and "kxreplay --verbose".
#pragma once

#include <string>

#include "trace/trace_reader.h"

std::string describeCall(const Trace& trace, size_t index);
// "3f2a09c1": the first bytes of a hash, enough to tell blobs apart.
std::string shortHash(const BlobHash& hash);
