// Playing a trace's calls through a driver's entry points. The host memory of
// the recording is rebuilt as buffers, one set per pointer the host used,
// filled with what the host memory held whenever the driver read it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/entry_points.h"
#include "trace/trace_reader.h"

// A buffer standing for the host memory around one recorded pointer.
struct ReplayBuffer {
    int64_t low = 0, high = 0;         // span around the pointer, [low, high)
    uint8_t* memory = nullptr;         // high - low bytes
    const uint8_t* lastData = nullptr; // contents last copied in (blobs repeat)
    MemoryRows lastRows;
};

struct ReplayMemory {
    // Every buffer ever made for a pointer stays alive: the driver may keep
    // an older one (a texture's image) when a larger one is made.
    std::unordered_map<uint64_t, std::vector<ReplayBuffer>> buffers;
    uint64_t bytes = 0;
    uint64_t limit = 8ull << 30;
    ReplayMemory() = default;
    ReplayMemory(const ReplayMemory&) = delete;
    ReplayMemory& operator=(const ReplayMemory&) = delete;
    ~ReplayMemory();
};

struct ReplayTexture {
    TextureRecord* handle;
    int32_t width, height;
    uint32_t format;
};

struct Replay {
    const Trace* trace = nullptr;
    const KxEntryPoints* api = nullptr;
    ReplayMemory memory;
    std::unordered_map<uint64_t, ReplayTexture> textures; // by recorded handle
    std::deque<char> strangers;                           // stand-ins for handles never loaded
    std::unordered_map<uint64_t, TextureRecord*> strangerHandles;
    uint64_t failures = 0;            // calls that failed on replay but not when recorded
    uint64_t differences = 0;         // other results or read-back that differ
    std::vector<std::string> reports; // the first ones, one line each
};

// Plays call `index` of the trace. Returns false (with `error`) only when the
// trace asks for something that cannot be given (absurd memory).
bool playCall(Replay& replay, size_t index, std::string& error);
// Forgets the recorded session's memory and handles (before a new loop).
void resetReplay(Replay& replay);
