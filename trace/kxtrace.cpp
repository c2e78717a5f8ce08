// kxtrace: looks into trace files. "dump" prints the calls with their frames
// and what they read, "state" the render state at a call, "info" counts the
// calls, "pack" and "unpack" compress and uncompress a trace.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "trace/trace_diff.h"
#include "trace/trace_frames.h"
#include "trace/trace_print.h"
#include "trace/trace_reader.h"
#include "trace/trace_state.h"
#include "trace/trace_trim.h"
#include "trace/texture_export.h"
#include "trace/trace_report.h"
#include "trace/trace_writer.h"
#include "host/png_writer.h"
#include "trace/who_drew.h"
#include "trace/replay_settings.h"
#include "trace/trace_settings.h"
#include "host/driver_loader.h"
#include "host/host_system.h"

namespace {

enum { kDone = 0, kDiffer = 1, kBadUsage = 2, kBadTrace = 3, kCannotWrite = 4 };

void usage(FILE* out) {
    std::fprintf(
        out, "usage: kxtrace dump TRACE [--frames LIST] [--calls [FIRST-]LAST] [--json]\n"
             "       kxtrace state TRACE CALL\n"
             "       kxtrace who-drew TRACE FRAME X Y [--driver PATH] [--settings FILE|defaults]\n"
             "       kxtrace diff A.kxtrace B.kxtrace\n"
             "       kxtrace trim TRACE OUT.kxtrace --frames A-B\n"
             "       kxtrace textures TRACE DIR\n"
             "       kxtrace report TRACE OUT.html [--driver PATH] [--settings FILE|defaults]\n"
             "       kxtrace info TRACE\n"
             "       kxtrace pack TRACE OUT.kxtrace     (zstd-compressed copy)\n"
             "       kxtrace unpack TRACE OUT.kxtrace   (uncompressed copy)\n"
             "  dump     every call with its frame, [frame] call entry(arguments), and below\n"
             "           it what the call read: vertices, the texture, a blit's rectangle;\n"
             "           --frames 0,30,60-90 and --calls choose calls; --json writes one\n"
             "           JSON object a line\n"
             "  state    the render state in force when call CALL is made\n"
             "  who-drew the calls of frame FRAME whose primitives or blits cover pixel (X, Y),\n"
             "           in drawing order, with their textures and states, and the one the\n"
             "           pixel shows: the frame replayed through the driver (or --driver)\n"
             "           with our software SGL, whose fill rule and depth test decide\n"
             "  diff     compares the settings two traces were recorded with, then their\n"
             "           calls one by one, host addresses and texture handles mapped by\n"
             "           first appearance, contents by their bytes; shows the first\n"
             "           differences with calls around them; exit 0 same, 1 not\n"
             "  trim     a trace that replays on its own to frames A to B: their calls, and\n"
             "           before them every call that leaves state behind (start-up,\n"
             "           textures, palettes, render states, flips), without the drawing\n"
             "  textures every content of every texture as a PNG file in DIR, as the host\n"
             "           handed it, its palette (own or global) applied under the colour\n"
             "           key of that point; named by number, handle and first call\n"
             "  report   one page that holds its images: the frames (replayed through the\n"
             "           driver), calls and replay time per frame, the textures, and for\n"
             "           the frame chosen its calls with their states\n"
             "  info     the recording: program, system, driver, the settings in force,\n"
             "           size, calls and frames\n"
             "  --settings FILE|defaults\n"
             "           who-drew and report replay with the filter, antialias, dither and\n"
             "           fps_limit the trace was recorded with; FILE takes them from a\n"
             "           settings file, defaults plays with none; never with a log file\n"
             "Exit: 0 done (diff: the same), 1 diff: the traces differ, 2 usage (a call or "
             "frame past the end), 3 bad trace, 4 cannot write.\n");
}

bool load(const char* path, Trace& trace) {
    std::string error;
    if (!readTraceFile(path, trace, error)) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return false;
    }
    for (const std::string& note : trace.notes)
        std::fprintf(stderr, "kxtrace: note: %s\n", note.c_str());
    return true;
}

// A call number of the trace, or a message saying why it is none.
bool callNumber(const Trace& trace, const std::string& text, size_t& call) {
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || value < 0 || text[0] == '-') {
        std::fprintf(stderr, "kxtrace: bad call number \"%s\"\n", text.c_str());
        return false;
    }
    if (uint64_t(value) >= trace.calls.size()) {
        std::fprintf(stderr, "kxtrace: call %s is past the end: the trace has %zu calls%s\n",
                     text.c_str(), trace.calls.size(),
                     trace.calls.empty()
                         ? ""
                         : (" (0 to " + std::to_string(trace.calls.size() - 1) + ")").c_str());
        return false;
    }
    call = size_t(value);
    return true;
}

struct DumpOptions {
    std::string frames, calls;
    bool json = false;
};

int dump(const Trace& trace, const DumpOptions& o) {
    const FrameIndex frames = indexFrames(trace);
    std::vector<bool> wanted(trace.calls.size(), o.frames.empty() && o.calls.empty());
    std::string error;
    if (!o.frames.empty()) {
        std::set<long> list;
        if (!parseNumberList(o.frames, long(frames.frames()) - 1, "frame", list, error)) {
            std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
            return kBadUsage;
        }
        for (long f : list)
            for (size_t i = frames.firstCall[size_t(f)]; i < frames.endCall(size_t(f)); ++i)
                wanted[i] = true;
    }
    if (!o.calls.empty()) {
        // [FIRST-]LAST, as kxreplay takes it: up to LAST alone means from 0.
        std::string range = o.calls.find('-') == std::string::npos ? "0-" + o.calls : o.calls;
        std::set<long> list;
        if (!parseNumberList(range, long(trace.calls.size()) - 1, "call", list, error)) {
            std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
            return kBadUsage;
        }
        for (long c : list)
            wanted[size_t(c)] = true;
    }
    TraceState state;
    size_t lastFrame = SIZE_MAX;
    std::string out;
    for (size_t i = 0; i < trace.calls.size(); ++i) {
        if (wanted[i]) {
            const size_t frame = frames.frameOfCall[i];
            if (!o.json && frame != lastFrame) {
                out += "== frame " + std::to_string(frame) + ": calls " +
                       std::to_string(frames.firstCall[frame]) + " to " +
                       std::to_string(frames.endCall(frame) - 1) +
                       (frames.flipCall[frame] == SIZE_MAX ? ", not flipped" : "") + "\n";
                lastFrame = frame;
            }
            out +=
                o.json ? dumpCallJson(trace, frames, state, i) : dumpCall(trace, frames, state, i);
            out += '\n';
            if (out.size() > (1u << 20)) {
                std::fwrite(out.data(), 1, out.size(), stdout);
                out.clear();
            }
        }
        applyCall(state, trace, i);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kDone;
}

std::string callText(size_t call) {
    return call == SIZE_MAX ? "never" : "call " + std::to_string(call);
}

int state(const Trace& trace, const std::string& callText_) {
    size_t call;
    if (!callNumber(trace, callText_, call)) return kBadUsage;
    const FrameIndex frames = indexFrames(trace);
    const TraceState s = stateBefore(trace, call);
    const size_t frame = frames.frameOfCall[call];
    std::printf("state when call %zu is made (frame %zu, its call %zu):\n  %s\n", call, frame,
                call - frames.firstCall[frame], describeCall(trace, call).c_str());
    std::printf("  driver         %s", s.started ? "started" : "not started");
    if (s.resolution >= 0) std::printf(", resolution mode %d", s.resolution);
    std::printf("\n  alpha blend    mode %d%s\n", s.alphaBlendMode,
                s.alphaBlendSet ? "" : " (never set)");
    std::printf("  colour key     mode %d, key colour 0x%08X%s\n", s.chromaKeyMode,
                s.chromaKeyColour, s.chromaKeySet ? "" : " (never set)");
    if (!s.selected) {
        std::printf("  texture        none selected\n");
    } else {
        const TraceTexture* t = s.texture(s.selected);
        if (t)
            std::printf("  texture        %s, selected at call %zu\n", describeTexture(*t).c_str(),
                        s.selectCall);
        else
            std::printf("  texture        0x%llx, selected at call %zu, not loaded now\n",
                        static_cast<unsigned long long>(s.selected), s.selectCall);
    }
    std::printf("  global palette %s\n",
                s.globalPalette ? ("loaded at " + callText(s.globalPaletteCall)).c_str()
                                : "none loaded");
    std::printf("  textures       %zu loaded (%zu ever)\n", s.live.size(), s.textures.size());
    for (const TraceTexture& t : s.textures)
        if (t.unloadCall == SIZE_MAX)
            std::printf("    %s, loaded at call %zu, image last read at %s\n",
                        describeTexture(t).c_str(), t.loadCall, callText(t.imageCall).c_str());
    return kDone;
}

int info(const Trace& trace, const char* path) {
    uint64_t counts[kEntryCount] = {};
    uint64_t inlineBytes = 0;
    for (const TraceCall& c : trace.calls)
        ++counts[c.entry];
    for (const TraceItem& item : trace.items)
        if (item.kind == kItemInlineContents) inlineBytes += item.dataSize;
    std::printf("%s\n", path);
    std::printf("  recorded by    %s on %s (%u-bit), %s\n",
                traceInfoValue(trace, "program").c_str(), traceInfoValue(trace, "system").c_str(),
                trace.pointerBits, traceInfoValue(trace, "recorder").c_str());
    std::printf("  driver         %s\n", traceInfoValue(trace, "driver").c_str());
    KxSettings settings;
    if (recordedSettings(trace, settings)) {
        std::vector<SettingKey> others;
        for (int k = 0; k < kDriverSettingCount; ++k)
            if (std::find(replayedSettingKeys().begin(), replayedSettingKeys().end(),
                          SettingKey(k)) == replayedSettingKeys().end())
                others.push_back(SettingKey(k));
        std::printf("  settings       %s\n                 %s (replays keep this machine's)\n",
                    describeSettings(settings, replayedSettingKeys()).c_str(),
                    describeSettings(settings, others).c_str());
        for (const std::string& problem : settings.problems)
            std::fprintf(stderr, "kxtrace: note: %s\n", problem.c_str());
    } else {
        std::printf("  settings       defaults (recorded before settings were kept)\n");
    }
    std::printf("  file           %llu bytes, %s; %llu bytes unpacked\n",
                static_cast<unsigned long long>(trace.fileBytes),
                trace.compression == kCompressionNone ? "uncompressed"
                                                      : compressionName(trace.compression),
                static_cast<unsigned long long>(trace.body.size() + kTraceHeaderSize));
    std::printf("  calls          %zu%s\n", trace.calls.size(),
                trace.ended ? "" : " (no end record: the recording stopped early)");
    std::printf("  frames         %llu\n",
                static_cast<unsigned long long>(counts[kEntry_PageFlip]));
    std::printf("  blobs          %llu, %llu bytes (each stored once)\n",
                static_cast<unsigned long long>(trace.blobCount),
                static_cast<unsigned long long>(trace.blobBytes));
    std::printf("  inline data    %llu bytes\n", static_cast<unsigned long long>(inlineBytes));
    std::printf("  calls per entry point:\n");
    for (uint32_t e = 0; e < kEntryCount; ++e)
        if (counts[e])
            std::printf("    %-22s %llu\n", entryInfo(e).name,
                        static_cast<unsigned long long>(counts[e]));
    return kDone;
}

// Writes the trace's records unchanged under a new header and compression.
int copy(const Trace& trace, const char* out, uint32_t compression) {
    TraceWriter w;
    std::string error;
    if (!openTrace(w, out, compression, trace.info, error)) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return kCannotWrite;
    }
    // The information record is written by openTrace; the rest as they are.
    const uint64_t infoRecord = kRecordHeaderSize + trace.info.size();
    const size_t endRecord = trace.ended ? kRecordHeaderSize + 8 : 0;
    const uint8_t* records = trace.body.data() + infoRecord;
    size_t size = trace.body.size() - infoRecord - endRecord;
    const size_t chunk = 4u << 20;
    for (size_t at = 0; at < size; at += chunk) {
        size_t n = std::min(chunk, size - at);
        w.buffer.insert(w.buffer.end(), records + at, records + at + n);
        flushTrace(w);
    }
    w.calls = trace.calls.size();
    const bool failed = w.failed;
    closeTrace(w, trace.ended);
    if (failed || w.failed) {
        std::fprintf(stderr, "kxtrace: cannot write %s\n", out);
        return kCannotWrite;
    }
    std::printf("kxtrace: wrote %s\n", out);
    return kDone;
}

std::string plural(size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

int diff(const Trace& a, const std::string& pathA, const Trace& b, const std::string& pathB) {
    const DiffResult r = diffTraces(a, b);
    std::printf("kxtrace diff: A %s (%s, %s) and B %s (%s, %s)\n", pathA.c_str(),
                plural(a.calls.size(), "call").c_str(),
                plural(indexFrames(a).flipped, "frame").c_str(), pathB.c_str(),
                plural(b.calls.size(), "call").c_str(),
                plural(indexFrames(b).flipped, "frame").c_str());
    // The settings first: the same calls make other frames under others.
    KxSettings settingsA, settingsB;
    const bool keptA = recordedSettings(a, settingsA), keptB = recordedSettings(b, settingsB);
    const std::vector<SettingKey> settings = settingDifferences(settingsA, settingsB);
    for (SettingKey key : settings)
        std::printf("kxtrace diff: settings differ: %s = %s in A%s, %s in B%s\n",
                    settingKeyName(key), settingValueText(settingsA, key).c_str(),
                    keptA ? "" : " (the defaults: recorded before settings were kept)",
                    settingValueText(settingsB, key).c_str(),
                    keptB ? "" : " (the defaults: recorded before settings were kept)");
    std::fwrite(r.text.data(), 1, r.text.size(), stdout);
    if (r.same() && settings.empty()) {
        std::printf("kxtrace diff: the same: %s alike\n", plural(r.compared, "call").c_str());
        return kDone;
    }
    if (r.same()) {
        std::printf("kxtrace diff: they differ: the settings (%s); %s alike\n",
                    plural(settings.size(), "key").c_str(), plural(r.compared, "call").c_str());
        return kDiffer;
    }
    std::string frames;
    size_t listed = 0;
    for (size_t f : r.frames) {
        if (listed++ == 20) {
            frames += " ...";
            break;
        }
        frames += (frames.empty() ? "" : " ") + std::to_string(f);
    }
    std::printf("kxtrace diff: they differ: %s of %zu compared differ",
                plural(r.differing, "call").c_str(), r.compared);
    if (r.onlyA) std::printf(", %s only in A", plural(r.onlyA, "call").c_str());
    if (r.onlyB) std::printf(", %s only in B", plural(r.onlyB, "call").c_str());
    std::printf("; %s of A: %s\n", plural(r.frames.size(), "frame").c_str(), frames.c_str());
    return kDiffer;
}

int trim(const Trace& trace, const std::string& path, const std::string& out,
         const std::string& list) {
    const FrameIndex frames = indexFrames(trace);
    std::set<long> range;
    std::string error;
    if (list.find(',') != std::string::npos) error = "--frames takes one range A-B";
    if (!error.empty() ||
        !parseNumberList(list, long(frames.frames()) - 1, "frame", range, error)) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return kBadUsage;
    }
    const size_t first = size_t(*range.begin()), last = size_t(*range.rbegin());
    const std::vector<size_t> calls = callsForFrames(trace, frames, first, last);
    const std::string note = "trimmed=frames " + std::to_string(first) + "-" +
                             std::to_string(last) + " of " + path + "\n";
    if (!writeTraceOfCalls(trace, calls, out, kCompressionZstd, note, error)) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return kCannotWrite;
    }
    const size_t begin = frames.firstCall[first],
                 head = size_t(std::lower_bound(calls.begin(), calls.end(), begin) - calls.begin());
    std::printf("kxtrace: wrote %s: frames %zu to %zu (calls %zu to %zu) and %zu calls before "
                "them that leave state behind (of %zu)\n",
                out.c_str(), first, last, begin, frames.endCall(last) - 1, head, begin);
    return kDone;
}

bool numberArg(const std::string& text, long last, const char* what, long& value) {
    std::set<long> one;
    std::string error;
    if (text.find_first_of(",-") != std::string::npos ||
        !parseNumberList(text, last, what, one, error)) {
        std::fprintf(stderr, "kxtrace: %s\n",
                     error.empty() ? ("bad " + std::string(what) + " \"" + text + "\"").c_str()
                                   : error.c_str());
        return false;
    }
    value = *one.begin();
    return true;
}

std::string pixelText(uint16_t p) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", p);
    return text;
}

// The driver loaded for a replay, with the host's window; false with a
// message when it cannot be.
bool startDriver(LoadedDriver& driver, const std::string& path) {
    std::string error;
    if (!loadDriver(driver, error, path)) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return false;
    }
    if (!createHostWindow("kxtrace", kxScreenWidth, kxScreenHeight, error)) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        unloadDriver(driver);
        return false;
    }
    return true;
}

void stopDriver(LoadedDriver& driver) {
    destroyHostWindow();
    unloadDriver(driver);
}

int report(const Trace& trace, const std::string& traceName, const std::string& out,
           const std::string& driverPath) {
    LoadedDriver driver;
    if (!startDriver(driver, driverPath)) return kBadUsage;
    ReportSummary summary;
    std::string error;
    const bool ok = writeReport(trace, traceName, driver.api, out, summary, error);
    stopDriver(driver);
    if (!ok) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return error.rfind("cannot write", 0) == 0 ? kCannotWrite : kBadTrace;
    }
    std::printf("kxtrace: wrote %s: %zu frames (replayed in %.2f s), %zu texture images, %.1f MB\n",
                out.c_str(), summary.frames, summary.replaySeconds, summary.textures,
                double(summary.pageBytes) / 1e6);
    return kDone;
}

int whoDrewCommand(const Trace& trace, const std::vector<std::string>& words,
                   const std::string& driverPath) {
    const FrameIndex frames = indexFrames(trace);
    long frame, x, y;
    if (!numberArg(words[2], long(frames.flipped) - 1, "frame", frame) ||
        !numberArg(words[3], LONG_MAX, "x", x) || !numberArg(words[4], LONG_MAX, "y", y))
        return kBadUsage;
    if (x >= kxScreenWidth || y >= kxScreenHeight) {
        std::fprintf(stderr, "kxtrace: pixel (%ld, %ld) is outside the %d x %d screen\n", x, y,
                     kxScreenWidth, kxScreenHeight);
        return kBadUsage;
    }
    LoadedDriver driver;
    if (!startDriver(driver, driverPath)) return kBadUsage;
    PixelProbeApi probe;
    if (!findPixelProbe(driver.library, probe)) {
        std::fprintf(stderr, "kxtrace: who-drew needs the software SGL built with the driver "
                             "(its pixel probe decides coverage); the driver's SGL has none\n");
        stopDriver(driver);
        return kBadUsage;
    }
    PixelStory story;
    std::string error;
    const bool ok =
        whoDrew(trace, frames, size_t(frame), int(x), int(y), driver.api, probe, story, error);
    stopDriver(driver);
    if (!ok) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return kBadTrace;
    }
    std::printf("kxtrace who-drew: pixel (%ld, %ld) of frame %ld (calls %zu to %zu), read back "
                "as #%02X%02X%02X\n",
                x, y, frame, frames.firstCall[size_t(frame)], frames.endCall(size_t(frame)) - 1,
                story.rgb[0], story.rgb[1], story.rgb[2]);
    // Each covering call with the state it was made in.
    std::vector<std::string> lines(story.covers.size());
    TraceState state;
    for (size_t i = 0; i < frames.endCall(size_t(frame)); ++i) {
        for (size_t k = 0; k < story.covers.size(); ++k) {
            const PixelCover& c = story.covers[k];
            if (c.call != i) continue;
            const TraceCall& call = trace.calls[i];
            std::string text = "  call " + std::to_string(i) + " " + entryInfo(call.entry).name;
            if (c.blit) {
                text += " (" + callMeaning(trace, frames, state, i) + "), source pixel (" +
                        std::to_string(c.sourceX) + ", " + std::to_string(c.sourceY) + ")" +
                        (c.sourceIndex >= 0 ? " index " + std::to_string(c.sourceIndex) : "") +
                        (c.drawn ? ": drawn, pixel " + pixelText(c.after)
                                 : ": keyed out, the pixel kept");
            } else {
                const int count = argInt(call.args[1]);
                text += count >= 3 ? ", triangle " + std::to_string(c.part + 1) + " of " +
                                         std::to_string(c.parts)
                        : count == 2 ? ", line"
                                     : ", point";
                text += c.drawn ? (c.translucent ? ": blended, pixel " : ": drawn, pixel ") +
                                      pixelText(c.before) + " -> " + pixelText(c.after)
                                : ": hidden (behind what was drawn there: depth test failed)";
                text += sampleCounts(c);
            }
            const TraceTexture* t = call.entry == kEntry_DrawPrimitive && state.selected
                                        ? state.texture(state.selected)
                                        : nullptr;
            if (!c.blit)
                text += "; " + (t ? describeTexture(*t) : std::string("no texture")) +
                        "; alpha blend " + std::to_string(state.alphaBlendMode) + ", colour key " +
                        std::to_string(state.chromaKeyMode);
            lines[k] = text;
        }
        applyCall(state, trace, i);
    }
    std::printf("calls whose primitives or blits cover it, in drawing order (the scene, then the "
                "blits; %d-bit back buffer):\n",
                story.bitsPerPixel);
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    if (story.covers.empty()) std::printf("  none\n");
    if (story.shows < 0) {
        std::printf("the pixel shows no call: the frame's clear\n");
    } else {
        const PixelCover& c = story.covers[size_t(story.shows)];
        std::printf("the pixel shows call %zu (%s)%s%s\n", c.call,
                    entryInfo(trace.calls[c.call].entry).name,
                    story.blendedOver ? ", blended over what was drawn before it" : "",
                    story.mixed ? ", mixed with what its other samples hold" : "");
    }
    if (story.drawnAfterRender)
        std::printf("note: %zu primitives were queued after the frame's first blit had rendered "
                    "its scene; they are never drawn\n",
                    story.drawnAfterRender);
    return kDone;
}

int textures(const Trace& trace, const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "kxtrace: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return kCannotWrite;
    }
    std::string error;
    size_t written = 0;
    std::vector<bool> shown;
    forEachTextureImage(trace, [&](const TextureImage& image) {
        if (!error.empty()) return;
        const std::string path = (std::filesystem::path(dir) / textureFileName(image)).string();
        if (!writeFileBytes(
                path, encodePng(image.width, image.height, 4, image.rgba.data(), image.width * 4),
                error))
            return;
        ++written;
        const size_t number = size_t(image.texture.number);
        if (shown.size() <= number) shown.resize(number + 1);
        std::printf("%s, loaded at call %zu: %s content at call %zu -> %s\n",
                    describeTexture(image.texture).c_str(), image.texture.loadCall,
                    shown[number] ? "new" : "first", image.call, path.c_str());
        shown[number] = true;
    });
    if (!error.empty()) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return kCannotWrite;
    }
    const TraceState end = stateBefore(trace, trace.calls.size());
    size_t never = 0;
    for (const TraceTexture& t : end.textures)
        if (size_t(t.number) >= shown.size() || !shown[size_t(t.number)]) {
            ++never;
            std::printf("%s, loaded at call %zu: no image, %s\n", describeTexture(t).c_str(),
                        t.loadCall,
                        t.format > kx565 ? "its format is none the driver converts"
                        : t.image        ? "its pixels in the trace do not fill its size"
                                         : "never selected, so the driver never read its pixels");
        }
    std::printf("kxtrace: %zu PNG files in %s, of %zu textures (%zu without an image)\n", written,
                dir.c_str(), end.textures.size(), never);
    return kDone;
}

// The command's words that are not options, and its options with values.
struct Command {
    std::vector<std::string> words;
    DumpOptions dump;
    std::string driver, settings;
};

bool parse(int argc, char** argv, Command& c) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--json") {
            c.dump.json = true;
        } else if (arg == "--frames" || arg == "--calls" || arg == "--driver" ||
                   arg == "--settings") {
            if (i + 1 >= argc || !*argv[i + 1]) {
                std::fprintf(stderr, "kxtrace: %s needs a value\n", arg.c_str());
                return false;
            }
            (arg == "--frames"   ? c.dump.frames
             : arg == "--calls"  ? c.dump.calls
             : arg == "--driver" ? c.driver
                                 : c.settings) = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "kxtrace: unknown option %s\n", arg.c_str());
            return false;
        } else {
            c.words.push_back(arg);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        usage(stdout);
        return kDone;
    }
    Command c;
    if (!parse(argc, argv, c)) {
        usage(stderr);
        return kBadUsage;
    }
    const size_t n = c.words.size();
    const std::string command = n ? c.words[0] : "";
    const bool dumpOptions = c.dump.json || !c.dump.frames.empty() || !c.dump.calls.empty();
    const bool replays = command == "who-drew" || command == "report";
    const bool fits =
        ((c.driver.empty() && c.settings.empty()) || replays) &&
        ((command == "who-drew" && n == 5 && !dumpOptions) ||
         (command == "textures" && n == 3 && !dumpOptions) ||
         (command == "report" && n == 3 && !dumpOptions) || (command == "dump" && n == 2) ||
         (command == "diff" && n == 3 && !dumpOptions) ||
         (command == "trim" && n == 3 && !c.dump.frames.empty() && !c.dump.json &&
          c.dump.calls.empty()) ||
         (!dumpOptions && ((command == "info" && n == 2) || (command == "state" && n == 3) ||
                           ((command == "pack" || command == "unpack") && n == 3))));
    if (!fits) {
        usage(stderr);
        return kBadUsage;
    }
    Trace trace;
    if (!load(c.words[1].c_str(), trace)) return kBadTrace;
    if (command == "dump") return dump(trace, c.dump);
    if (command == "state") return state(trace, c.words[2]);
    if (command == "diff") {
        Trace other;
        if (!load(c.words[2].c_str(), other)) return kBadTrace;
        return diff(trace, c.words[1], other, c.words[2]);
    }
    if (command == "textures") return textures(trace, c.words[2]);
    // The driver replaying the trace reads these when it is loaded.
    ReplaySettings settings;
    std::string error;
    if (replays && (!chooseReplaySettings(trace, c.settings, settings, error) ||
                    !applyReplaySettings(settings, error))) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return kBadUsage;
    }
    if (replays)
        for (const std::string& line : describeReplaySettings(settings))
            std::fprintf(stderr, "kxtrace: %s\n", line.c_str());
    if (command == "report") return report(trace, c.words[1], c.words[2], c.driver);
    if (command == "who-drew") return whoDrewCommand(trace, c.words, c.driver);
    if (command == "trim") return trim(trace, c.words[1], c.words[2], c.dump.frames);
    if (command == "info") return info(trace, c.words[1].c_str());
    return copy(trace, c.words[2].c_str(), command == "pack" ? kCompressionZstd : kCompressionNone);
}
