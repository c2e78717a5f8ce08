#include "trace/trace_report.h"

#include <chrono>
#include <cstdio>
#include <fstream>

#include "host/frame_grab.h"
#include "host/png_writer.h"
#include "trace/image_compare.h"
#include "trace/replay.h"
#include "trace/text_formats.h"
#include "trace/texture_export.h"
#include "trace/trace_frames.h"
#include "trace/trace_print.h"

namespace {

using Clock = std::chrono::steady_clock;

// A texture shown at most 64 pixels a side (nearest pixels), as PNG.
std::string textureThumbnail(const TextureImage& image) {
    const int32_t side = 64;
    const int32_t w = image.width > side ? side : image.width;
    const int32_t h = image.height > side ? side : image.height;
    std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const size_t sx = size_t(int64_t(x) * image.width / w);
            const size_t sy = size_t(int64_t(y) * image.height / h);
            std::memcpy(&rgba[(size_t(y) * size_t(w) + size_t(x)) * 4],
                        &image.rgba[(sy * size_t(image.width) + sx) * 4], 4);
        }
    return pngDataUri(encodePng(w, h, 4, rgba.data(), w * 4));
}

// The call as the page lists it: entry point and arguments, result; without
// its number and the memory it read (the dump has those).
std::string callText(const Trace& trace, size_t index) {
    std::string text = describeCall(trace, index);
    text = text.substr(text.find(' ') + 1);
    const size_t items = text.find("; reads ") < text.find("; wrote ") ? text.find("; reads ")
                                                                       : text.find("; wrote ");
    return items == std::string::npos ? text : text.substr(0, items);
}

const char* kStyle =
    "body{font-family:sans-serif;margin:0;background:#f4f4f4;color:#222}"
    "header{padding:10px 16px;background:#263238;color:#eee}"
    "h1{font-size:20px;margin:0 0 4px}h2{font-size:16px;margin:16px 16px 6px}"
    "#frames{display:flex;overflow-x:auto;gap:6px;padding:8px 16px;background:#ddd}"
    ".frame{flex:none;width:160px;cursor:pointer;background:#fff;border:2px solid #fff;"
    "font-size:11px;text-align:center}.frame img{width:160px;height:120px;display:block}"
    ".frame .unshown{width:160px;height:120px;line-height:120px;background:#555;color:#ccc}"
    ".frame.selected{border-color:#e65100}#detail{display:flex;gap:16px;padding:0 16px}"
    "#frame-image{width:640px;height:480px;image-rendering:pixelated;flex:none;background:#000}"
    "#calls-box{flex:1;max-height:520px;overflow:auto;background:#fff}"
    "table{border-collapse:collapse;font-size:12px;width:100%}"
    "td,th{padding:2px 6px;border-bottom:1px solid #eee;text-align:left;vertical-align:top}"
    "td.n{text-align:right;color:#777}td.m{color:#555}"
    "#textures{display:flex;flex-wrap:wrap;gap:8px;padding:0 16px 16px}"
    ".texture{width:150px;font-size:11px;background:#fff;padding:4px}"
    ".texture img{width:64px;height:64px;image-rendering:pixelated;"
    "background:repeating-conic-gradient(#ccc 0 25%,#fff 0 50%) 0 0/16px 16px}";

const char* kScript = R"(
const data = JSON.parse(document.getElementById('data').textContent);
function make(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}
function select(f) {
  for (const e of document.querySelectorAll('.frame.selected')) e.classList.remove('selected');
  const frame = data.frames[f];
  document.querySelector('.frame[data-frame="' + f + '"]').classList.add('selected');
  document.getElementById('frame-title').textContent = 'Frame ' + f + ': calls ' + frame.first +
      ' to ' + (frame.end - 1) + ', ' + (frame.end - frame.first) + ' calls, replayed in ' +
      frame.ms.toFixed(2) + ' ms';
  const image = document.getElementById('frame-image');
  if (frame.image) image.src = frame.image; else image.removeAttribute('src');
  const body = document.querySelector('#calls tbody');
  body.replaceChildren();
  for (let i = frame.first; i < frame.end; ++i) {
    const c = data.calls[i];
    const row = make('tr');
    row.dataset.call = i;
    row.append(make('td', 'n', String(i)), make('td', '', c[0]), make('td', 'm', c[1]));
    body.append(row);
  }
}
const strip = document.getElementById('frames');
data.frames.forEach((frame, f) => {
  const e = make('div', 'frame');
  e.dataset.frame = f;
  let image;
  if (frame.image) {
    image = make('img');
    image.src = frame.image;
    image.alt = 'frame ' + f;
  } else {
    image = make('div', 'unshown', 'no flip: nothing shown');
  }
  e.append(image, make('div', '', 'frame ' + f + (frame.image ? '' : ' (not flipped)')),
           make('div', '', (frame.end - frame.first) + ' calls, ' + frame.ms.toFixed(1) + ' ms'));
  e.addEventListener('click', () => select(f));
  strip.append(e);
});
const textures = document.getElementById('textures');
for (const t of data.textures) {
  const e = make('div', 'texture');
  const image = make('img');
  image.src = t.image;
  image.alt = t.name;
  e.append(image, make('div', '', t.name), make('div', '', 'content of call ' + t.call));
  textures.append(e);
}
if (data.frames.length) select(0);
)";

} // namespace

bool writeReport(const Trace& trace, const std::string& traceName, const KxEntryPoints& api,
                 const std::string& path, ReportSummary& summary, std::string& error) {
    const FrameIndex frames = indexFrames(trace);
    Replay replay;
    replay.trace = &trace;
    replay.api = &api;
    std::vector<double> seconds(frames.frames(), 0);
    std::vector<std::string> images(frames.frames());
    const auto start = Clock::now();
    for (size_t i = 0; i < trace.calls.size(); ++i) {
        const auto t0 = Clock::now();
        if (!playCall(replay, i, error)) {
            api.ResetTextures();
            api.Shutdown();
            return false;
        }
        seconds[frames.frameOfCall[i]] += std::chrono::duration<double>(Clock::now() - t0).count();
        if (trace.calls[i].entry != kEntry_PageFlip) continue;
        // The frame at half its size: enough to see it, a quarter of the bytes.
        RgbImage shown = readBackFrame(api, kxScreenWidth, kxScreenHeight);
        Image full;
        full.width = shown.width;
        full.height = shown.height;
        full.rgb = std::move(shown.rgb);
        const Image half = shrinkImage(full, 2);
        images[frames.frameOfCall[i]] =
            pngDataUri(encodePng(half.width, half.height, 3, half.rgb.data(), half.width * 3));
    }
    // A trace may end with the driver started and textures loaded.
    api.ResetTextures();
    api.Shutdown();
    summary.replaySeconds = std::chrono::duration<double>(Clock::now() - start).count();
    summary.frames = frames.flipped;

    std::string json = "{\"frames\":[";
    for (size_t f = 0; f < frames.frames(); ++f) {
        char ms[32];
        std::snprintf(ms, sizeof ms, "%.3f", seconds[f] * 1e3);
        json += std::string(f ? "," : "") + "{\"first\":" + std::to_string(frames.firstCall[f]) +
                ",\"end\":" + std::to_string(frames.endCall(f)) + ",\"ms\":" + ms +
                ",\"image\":" + (images[f].empty() ? "null" : "\"" + images[f] + "\"") + "}";
    }
    json += "],\"calls\":[";
    TraceState state;
    for (size_t i = 0; i < trace.calls.size(); ++i) {
        json += std::string(i ? "," : "") + "[" + jsonString(callText(trace, i)) + "," +
                jsonString(callMeaning(trace, frames, state, i)) + "]";
        applyCall(state, trace, i);
    }
    json += "],\"textures\":[";
    bool first = true;
    forEachTextureImage(trace, [&](const TextureImage& image) {
        json += std::string(first ? "" : ",") +
                "{\"name\":" + jsonString(describeTexture(image.texture)) +
                ",\"call\":" + std::to_string(image.call) + ",\"image\":\"" +
                textureThumbnail(image) + "\"}";
        first = false;
        ++summary.textures;
    });
    json += "]}";

    char replayed[96];
    std::snprintf(replayed, sizeof replayed, "replayed in %.2f s", summary.replaySeconds);
    const std::string title = "kxtrace report: " + traceName;
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><link rel=\"icon\" href=\"data:,\">"
        "<title>" +
        htmlEscape(title) + "</title><style>" + kStyle + "</style></head><body>\n<header><h1>" +
        htmlEscape(title) + "</h1><div>" +
        htmlEscape(traceInfoValue(trace, "program") + " on " + traceInfoValue(trace, "system") +
                   ", " + std::to_string(trace.calls.size()) + " calls, " +
                   std::to_string(frames.flipped) + " frames, " + replayed) +
        "</div></header>\n<div id=\"frames\"></div>\n<h2 id=\"frame-title\"></h2>\n"
        "<div id=\"detail\"><img id=\"frame-image\" alt=\"the frame\"><div id=\"calls-box\">"
        "<table id=\"calls\"><thead><tr><th>call</th><th>entry point and arguments</th>"
        "<th>what it meant, in the state it was made in</th></tr></thead><tbody></tbody>"
        "</table></div></div>\n<h2>Textures</h2>\n<div id=\"textures\"></div>\n"
        "<script type=\"application/json\" id=\"data\">" +
        json + "</script>\n<script>" + kScript + "</script>\n</body></html>\n";
    std::ofstream out(path, std::ios::binary);
    out.write(page.data(), std::streamsize(page.size()));
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    summary.pageBytes = page.size();
    return true;
}
