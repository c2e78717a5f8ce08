#include "trace/trace_print.h"

#include <cinttypes>
#include <cstdio>

namespace {

const char* formatName(uint32_t format) {
    const char* layout = hostFormatLayout(format);
    return layout ? layout : "invalid";
}

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
        line += std::string(info.argNames[i]) + "=" + argText(info.kinds[i], call.args[i]);
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
