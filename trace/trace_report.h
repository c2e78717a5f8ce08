// "kxtrace report": one HTML page that holds everything it shows, for a
// developer to send: a strip of the frames (replayed through the driver),
// each frame's calls and replay time, the textures, and for the frame chosen
// its calls with what they meant and the state they were made in.
#pragma once

#include <string>

#include "host/entry_points.h"
#include "trace/trace_reader.h"

struct ReportSummary {
    size_t frames = 0, textures = 0;
    double replaySeconds = 0;
    uint64_t pageBytes = 0;
};

bool writeReport(const Trace& trace, const std::string& traceName, const KxEntryPoints& api,
                 const std::string& path, ReportSummary& summary, std::string& error);
