#include "trace/trace_print.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "trace/text_formats.h"

const char* formatName(uint32_t format) {
    const char* layout = hostFormatLayout(format);
    return layout ? layout : "invalid";
}

namespace {

std::string argText(ArgKind kind, uint64_t v) {
    char text[64];
    switch (kind) {
    case kArgInt:
        std::snprintf(text, sizeof text, "%d", argInt(v));
        break;
    case kArgUint:
        std::snprintf(text, sizeof text, "%u", uint32_t(v));
        break;
    case kArgColour:
        std::snprintf(text, sizeof text, "0x%08X", uint32_t(v));
        break;
    case kArgFormat:
        std::snprintf(text, sizeof text, "%u (%s)", uint32_t(v), formatName(uint32_t(v)));
        break;
    case kArgPointer:
    case kArgHandle:
        if (!v) return "null";
        std::snprintf(text, sizeof text, "0x%" PRIx64, v);
        break;
    }
    return text;
}

std::string itemText(const TraceItem& item) {
    char text[160];
    switch (item.kind) {
    case kItemBlobContents:
    case kItemInlineContents:
    case kItemReadBack: {
        const char* what = item.kind == kItemReadBack ? "wrote" : "reads";
        int n = std::snprintf(text, sizeof text, "%s 0x%" PRIx64, what, item.base);
        if (item.rows.offset)
            n += std::snprintf(text + n, sizeof text - n, "%+" PRId64, item.rows.offset);
        if (item.rows.rows > 1)
            n += std::snprintf(text + n, sizeof text - n, " %u rows of %u bytes, pitch %" PRId64,
                               item.rows.rows, item.rows.rowBytes, item.rows.pitch);
        else
            n += std::snprintf(text + n, sizeof text - n, " %u bytes", item.rows.rowBytes);
        if (item.kind != kItemInlineContents)
            std::snprintf(text + n, sizeof text - n, " [%s %s]",
                          item.kind == kItemReadBack ? "hash" : "blob",
                          shortHash(item.hash).c_str());
        return text;
    }
    default:
        return "";
    }
}

} // namespace

std::string shortHash(const BlobHash& hash) {
    char text[9];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", hash.bytes[0], hash.bytes[1],
                  hash.bytes[2], hash.bytes[3]);
    return text;
}

std::string describeCall(const Trace& trace, size_t index) {
    const TraceCall& call = trace.calls[index];
    const EntryInfo& info = entryInfo(call.entry);
    std::string line = std::to_string(index) + " " + info.name + "(";
    for (int i = 0; i < info.argCount; ++i) {
        if (i) line += ", ";
        line += std::string(info.args[i].name) + "=" + argText(info.args[i].kind, call.args[i]);
    }
    line += ")";
    const TraceItem* data = nullptr;
    for (uint32_t k = 0; k < call.itemCount; ++k)
        if (trace.items[call.firstItem + k].kind == kItemResultData)
            data = &trace.items[call.firstItem + k];
    char text[64];
    switch (info.result) {
    case kResultNone:
        break;
    case kResultInt:
        std::snprintf(text, sizeof text, " = %d", argInt(call.result));
        line += text;
        break;
    case kResultHandle:
        line += " = " + argText(kArgHandle, call.result);
        break;
    case kResultText:
        line += " = \"" +
                (data ? std::string(reinterpret_cast<const char*>(data->data), data->dataSize)
                      : std::string()) +
                "\"";
        break;
    case kResultGuid:
        line += " = {";
        for (uint32_t i = 0; data && i < data->dataSize; ++i) {
            std::snprintf(text, sizeof text, "%02X", data->data[i]);
            line += text;
        }
        line += "}";
        break;
    }
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        std::string item = itemText(trace.items[call.firstItem + k]);
        if (!item.empty()) line += "; " + item;
    }
    return line;
}

namespace {

std::string hexValue(uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%" PRIx64, v);
    return text;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

// JSON has no NaN or infinity: those become strings.
std::string jsonNumber(double v) {
    return std::isfinite(v) ? number(v) : "\"" + number(v) + "\"";
}

std::string colourText(uint32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", c);
    return text;
}

// The vertices a DrawPrimitive read, decoded from its contents.
std::vector<HostVertex> verticesOf(const Trace& trace, const TraceCall& call) {
    std::vector<HostVertex> vertices;
    const int32_t count = argInt(call.args[1]);
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        const TraceItem& item = trace.items[call.firstItem + k];
        if ((item.kind != kItemInlineContents && item.kind != kItemBlobContents) || !item.data ||
            item.base != call.args[0] || item.rows.rowBytes != sizeof(HostVertex))
            continue;
        for (uint32_t i = 0; i < item.rows.rows && int64_t(i) < count; ++i) {
            HostVertex v;
            std::memcpy(&v, item.data + size_t(i) * sizeof(HostVertex), sizeof v);
            vertices.push_back(v);
        }
        break;
    }
    return vertices;
}

const char* primitiveName(int32_t count) {
    return count == 1 ? "point" : count == 2 ? "line" : count >= 3 ? "fan" : "nothing";
}

// The texture a call names (a handle as its first argument), or the selected
// one for a DrawPrimitive.
const TraceTexture* textureOf(const TraceCall& call, const TraceState& state) {
    if (call.entry == kEntry_DrawPrimitive)
        return state.selected ? state.texture(state.selected) : nullptr;
    const EntryInfo& info = entryInfo(call.entry);
    return info.argCount > 0 && info.args[0].kind == kArgHandle ? state.texture(call.args[0])
                                                                : nullptr;
}

std::string paletteKind(const TraceTexture& t) {
    if (t.format != 0) return "no palette";
    return t.palette ? "own palette " + hexValue(t.palette) : "global palette";
}

std::string renderStates(const TraceState& s) {
    return "alpha blend " + std::to_string(s.alphaBlendMode) + ", colour key " +
           std::to_string(s.chromaKeyMode) + " " + colourText(s.chromaKeyColour);
}

std::string vertexLine(int i, const HostVertex& v) {
    return "    v" + std::to_string(i) + "  x " + number(v.x) + "  y " + number(v.y) + "  z " +
           number(v.z) + "  1/w " + number(v.invW) + "  u/w " + number(v.u) + "  v/w " +
           number(v.v) + "  colour " + colourText(v.colour);
}

std::string argJson(ArgKind kind, uint64_t v) {
    switch (kind) {
    case kArgInt:
        return std::to_string(argInt(v));
    case kArgUint:
    case kArgFormat:
        return std::to_string(uint32_t(v));
    case kArgColour:
        return "\"" + colourText(uint32_t(v)) + "\"";
    default:
        return v ? "\"" + hexValue(v) + "\"" : "null";
    }
}

std::string textureJson(const TraceTexture& t) {
    return "{\"number\":" + std::to_string(t.number) + ",\"handle\":\"" + hexValue(t.handle) +
           "\",\"width\":" + std::to_string(t.width) + ",\"height\":" + std::to_string(t.height) +
           ",\"format\":" + std::to_string(t.format) +
           ",\"formatName\":" + jsonString(formatName(t.format)) + ",\"palette\":" +
           (t.format != 0 ? "null"
            : t.palette   ? "\"own\""
                          : "\"global\"") +
           ",\"loadCall\":" + std::to_string(t.loadCall) + "}";
}

} // namespace

std::string describeTexture(const TraceTexture& t) {
    return "texture #" + std::to_string(t.number) + " " + hexValue(t.handle) + " (" +
           std::to_string(t.width) + " x " + std::to_string(t.height) + ", " +
           formatName(t.format) + ", " + paletteKind(t) + ")";
}

std::string callMeaning(const Trace& trace, const FrameIndex& frames, const TraceState& state,
                        size_t index) {
    const TraceCall& call = trace.calls[index];
    const uint64_t* a = call.args;
    const TraceTexture* t = textureOf(call, state);
    switch (call.entry) {
    case kEntry_DrawPrimitive: {
        const int32_t count = argInt(a[1]);
        std::string text = primitiveName(count);
        if (count >= 3) text += " of " + std::to_string(count - 2) + " triangles";
        text += "; " + (t                ? describeTexture(*t)
                        : state.selected ? "texture " + hexValue(state.selected) + " (not loaded)"
                                         : std::string("no texture"));
        return text + "; " + renderStates(state);
    }
    case kEntry_SelectTexture:
        if (!a[0]) return "no texture";
        return t ? describeTexture(*t) + ", loaded at call " + std::to_string(t->loadCall)
                 : "not a loaded texture";
    case kEntry_UnloadTexture:
    case kEntry_ModifyTexture:
        return t ? describeTexture(*t) : "not a loaded texture";
    case kEntry_LoadTexture: {
        if (!call.result) return "refused";
        TraceTexture made;
        made.number = int(state.textures.size());
        made.handle = call.result;
        made.width = argInt(a[1]);
        made.height = argInt(a[2]);
        made.format = uint32_t(a[4]);
        made.palette = made.format == 0 ? a[6] : 0;
        return describeTexture(made);
    }
    case kEntry_LoadPalette: {
        uint32_t colours[256];
        for (uint32_t k = 0; k < call.itemCount; ++k)
            if (paletteColours(&trace.items[call.firstItem + k], colours)) {
                std::string text = "global palette:";
                for (int i = 0; i < 8; ++i)
                    text += " " + colourText(colours[i]);
                return text + " ...";
            }
        return a[0] ? "global palette" : "no palette: nothing changes";
    }
    case kEntry_BltToCard:
        return std::to_string(argInt(a[3])) + " x " + std::to_string(argInt(a[4])) + " image at (" +
               std::to_string(argInt(a[1])) + ", " + std::to_string(argInt(a[2])) + "), " +
               formatName(uint32_t(a[6])) + ", " +
               (a[7] ? "its own palette" : "the global palette") + "; colour key " +
               std::to_string(state.chromaKeyMode);
    case kEntry_StretchBltToCard:
        return std::to_string(argInt(a[5])) + " x " + std::to_string(argInt(a[6])) +
               " image stretched to " + std::to_string(argInt(a[3])) + " x " +
               std::to_string(argInt(a[4])) + " at (" + std::to_string(argInt(a[1])) + ", " +
               std::to_string(argInt(a[2])) + "), " + formatName(uint32_t(a[8])) + ", " +
               (a[9] ? "its own palette" : "the global palette") + "; colour key " +
               std::to_string(state.chromaKeyMode);
    case kEntry_BltFromCard: {
        long frame = frameReadBack(frames, index);
        return frame < 0 ? "reads back the screen before the first flip"
                         : "reads back frame " + std::to_string(frame);
    }
    default:
        return "";
    }
}

std::string dumpCall(const Trace& trace, const FrameIndex& frames, const TraceState& state,
                     size_t index) {
    std::string text =
        "[" + std::to_string(frames.frameOfCall[index]) + "] " + describeCall(trace, index);
    const std::string what = callMeaning(trace, frames, state, index);
    if (!what.empty()) text += "\n    " + what;
    const TraceCall& call = trace.calls[index];
    if (call.entry == kEntry_DrawPrimitive) {
        const std::vector<HostVertex> vertices = verticesOf(trace, call);
        for (size_t i = 0; i < vertices.size(); ++i)
            text += "\n" + vertexLine(int(i), vertices[i]);
    }
    return text;
}

std::string dumpCallJson(const Trace& trace, const FrameIndex& frames, const TraceState& state,
                         size_t index) {
    const TraceCall& call = trace.calls[index];
    const EntryInfo& info = entryInfo(call.entry);
    std::string json = "{\"call\":" + std::to_string(index) +
                       ",\"frame\":" + std::to_string(frames.frameOfCall[index]) + ",\"entry\":\"" +
                       info.name + "\",\"args\":{";
    for (int i = 0; i < info.argCount; ++i) {
        if (i) json += ",";
        json += "\"" + std::string(info.args[i].name) +
                "\":" + argJson(info.args[i].kind, call.args[i]);
    }
    json += "}";
    switch (info.result) {
    case kResultNone:
        break;
    case kResultInt:
        json += ",\"result\":" + std::to_string(argInt(call.result));
        break;
    default:
        json += ",\"result\":" + (call.result ? "\"" + hexValue(call.result) + "\"" : "null");
        break;
    }
    json += ",\"items\":[";
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        const TraceItem& item = trace.items[call.firstItem + k];
        if (k) json += ",";
        if (item.kind == kItemResultData) {
            std::string bytes;
            char hex[3];
            for (uint32_t i = 0; i < item.dataSize; ++i) {
                std::snprintf(hex, sizeof hex, "%02x", item.data[i]);
                bytes += hex;
            }
            json += "{\"kind\":\"result\",\"bytes\":\"" + bytes + "\"}";
            continue;
        }
        json += std::string("{\"kind\":\"") + (item.kind == kItemReadBack ? "wrote" : "reads") +
                "\",\"base\":\"" + hexValue(item.base) +
                "\",\"offset\":" + std::to_string(item.rows.offset) +
                ",\"rows\":" + std::to_string(item.rows.rows) +
                ",\"rowBytes\":" + std::to_string(item.rows.rowBytes) +
                ",\"pitch\":" + std::to_string(item.rows.pitch);
        if (item.kind != kItemInlineContents) json += ",\"hash\":\"" + shortHash(item.hash) + "\"";
        json += "}";
    }
    json += "]";
    const std::string what = callMeaning(trace, frames, state, index);
    if (!what.empty()) json += ",\"meaning\":" + jsonString(what);
    if (const TraceTexture* t = textureOf(call, state)) json += ",\"texture\":" + textureJson(*t);
    if (call.entry == kEntry_DrawPrimitive) {
        json += ",\"primitive\":\"" + std::string(primitiveName(argInt(call.args[1]))) +
                "\",\"alphaBlend\":" + std::to_string(state.alphaBlendMode) +
                ",\"chromaKey\":" + std::to_string(state.chromaKeyMode) + ",\"vertices\":[";
        const std::vector<HostVertex> vertices = verticesOf(trace, call);
        for (size_t i = 0; i < vertices.size(); ++i) {
            const HostVertex& v = vertices[i];
            json += std::string(i ? "," : "") + "{\"x\":" + jsonNumber(v.x) +
                    ",\"y\":" + jsonNumber(v.y) + ",\"z\":" + jsonNumber(v.z) +
                    ",\"invW\":" + jsonNumber(v.invW) + ",\"u\":" + jsonNumber(v.u) +
                    ",\"v\":" + jsonNumber(v.v) + ",\"colour\":\"" + colourText(v.colour) + "\"}";
        }
        json += "]";
    }
    if (call.entry == kEntry_BltFromCard)
        json += ",\"readsFrame\":" + std::to_string(frameReadBack(frames, index));
    return json + "}";
}
