// The recording driver stores exactly the host bytes the driver reads: blits
// and stretches at every edge of the screen, and stretches whose stepping
// skips source rows and columns, are recorded through libkxtrace.so; then the
// driver (libkxpwrvr.so, loaded as a host loads it) shows by its pixels which
// bytes it read. Outside the recorded rows every byte is a poison index whose
// colour must never reach the screen; on each edge of the recorded rows a
// poisoned row or column must reach it. So the test fails when the recorder's
// rule or the driver's changes alone. Under AddressSanitizer the bytes
// outside the rows are poisoned for one more blit, so that a read there which
// changes no pixel is caught too. BltFromCard likewise: the bytes it writes
// are exactly the rows the recorder hashes.
#include <gtest/gtest.h>

#include <sanitizer/asan_interface.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/driver_loader.h"
#include "host/host_library.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"
#include "trace/trace_reader.h"

namespace {

constexpr uint8_t kPoison = 255; // drawn as the screen pixel 0x00FF
constexpr uint16_t kPoisonPixel = 255;
constexpr uint16_t kSentinel = 0xA55A; // the back buffer before each blit
constexpr uint32_t kKey = 0x00FFFFFF;  // keyed runs: a colour no index has

struct Case {
    const char* what;
    bool stretch;
    int32_t x, y, width, height;
    int32_t sourceWidth, sourceHeight; // of the image in memory (the stretch's arguments)
    int32_t pitch;
    uint32_t format = 0;
};

// A host image with room around it: `first` is the pointer the blit gets,
// the start of its top row wherever the pitch's sign puts that row.
struct Image {
    std::vector<uint8_t> bytes;
    uint8_t* first = nullptr;
    explicit Image(const Case& c) {
        const int64_t margin = 4096, rows = std::max(c.sourceHeight, 1);
        const int64_t span = std::llabs(int64_t{c.pitch}) * (rows - 1) + std::max(c.sourceWidth, 1);
        bytes.assign(size_t(span + 2 * margin), kPoison);
        first = bytes.data() + margin + (c.pitch < 0 ? -int64_t{c.pitch} * (rows - 1) : 0);
    }
    uint8_t& at(int64_t offset) { return first[offset]; }
};

// The rows the recorder stored for the image of a call, or none.
struct Stored {
    bool found = false;
    MemoryRows rows;
    std::vector<uint8_t> data;
};

// Which bytes of [low, high) (relative to the pointer) the rows hold.
std::vector<bool> rowMask(const MemoryRows& m, int64_t low, int64_t high) {
    std::vector<bool> mask(size_t(high - low), false);
    for (uint32_t r = 0; !m.empty() && r < m.rows; ++r)
        for (uint32_t b = 0; b < m.rowBytes; ++b)
            mask.at(size_t(m.offset + int64_t(r) * m.pitch + b - low)) = true;
    return mask;
}

// Every byte of the image: poison outside the rows, random indices within
// them, and poison again on the rows' edge `edge` (0 none, 1 top row, 2
// bottom row, 3 left column, 4 right column).
void fill(Image& image, const MemoryRows& m, int edge, std::mt19937& rng) {
    std::fill(image.bytes.begin(), image.bytes.end(), kPoison);
    for (uint32_t r = 0; !m.empty() && r < m.rows; ++r)
        for (uint32_t b = 0; b < m.rowBytes; ++b) {
            bool onEdge = (edge == 1 && r == 0) || (edge == 2 && r == m.rows - 1) ||
                          (edge == 3 && b == 0) || (edge == 4 && b == m.rowBytes - 1);
            image.at(m.offset + int64_t(r) * m.pitch + b) = onEdge ? kPoison : uint8_t(rng() % 255);
        }
}

// The image's bytes outside the rows made unaddressable for AddressSanitizer
// (nothing without it). Its granules make the ends of rows exact; a row's
// start may stay addressable up to 7 bytes before it.
void poisonOutside(Image& image, const MemoryRows& m) {
    ASAN_POISON_MEMORY_REGION(image.bytes.data(), image.bytes.size());
    for (uint32_t r = 0; !m.empty() && r < m.rows; ++r)
        ASAN_UNPOISON_MEMORY_REGION(&image.at(m.offset + int64_t(r) * m.pitch), m.rowBytes);
}

void unpoison(Image& image) {
    ASAN_UNPOISON_MEMORY_REGION(image.bytes.data(), image.bytes.size());
}

void paintBackBuffer() {
    int pitch = 0, height = 0;
    uint8_t* base = kxstandChainPixels(1, &pitch, nullptr, &height);
    ASSERT_NE(base, nullptr);
    for (size_t k = 0; k + 1 < size_t(pitch) * height; k += 2)
        std::memcpy(base + k, &kSentinel, 2);
}

bool poisonOnScreen() {
    int pitch = 0, width = 0, height = 0;
    const uint8_t* base = kxstandChainPixels(1, &pitch, &width, &height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint16_t p;
            std::memcpy(&p, base + size_t(y) * pitch + 2 * x, 2);
            if (p == kPoisonPixel) return true;
        }
    return false;
}

int blit(const KxEntryPoints& api, const Case& c, const uint8_t* source, const uint32_t* palette) {
    if (c.stretch)
        return api.StretchBltToCard(source, c.x, c.y, c.width, c.height, c.sourceWidth,
                                    c.sourceHeight, c.pitch, c.format, palette);
    return api.BltToCard(source, c.x, c.y, c.width, c.height, c.pitch, c.format, palette);
}

std::string binFolder() {
    return programFolder() + pathSeparator();
}

// Loads the recorder, which loads the driver beside it, writing `path`.
bool loadRecorder(LoadedDriver& recorder, const std::string& path) {
    setenv("KXTRACE_FILE", path.c_str(), 1);
    setenv("KXTRACE_COMPRESS", "none", 1);
    setenv("KXTRACE_DRIVER", (binFolder() + "libkxpwrvr.so").c_str(), 1);
    std::string error;
    bool ok = loadDriver(recorder, error, binFolder() + "libkxtrace.so");
    EXPECT_TRUE(ok) << error;
    return ok;
}

// The contents item of the call whose first argument is `pointer`.
Stored storedFor(const Trace& trace, uint32_t entry, const void* pointer) {
    Stored s;
    for (const TraceCall& call : trace.calls) {
        if (call.entry != entry || call.args[0] != uint64_t(uintptr_t(pointer))) continue;
        for (uint32_t k = 0; k < call.itemCount; ++k) {
            const TraceItem& item = trace.items[call.firstItem + k];
            bool contents = item.kind == kItemBlobContents || item.kind == kItemInlineContents;
            if ((contents || item.kind == kItemReadBack) && item.base == call.args[0]) {
                s.found = true;
                s.rows = item.rows;
                if (contents) s.data.assign(item.data, item.data + item.rows.bytes());
            }
        }
    }
    return s;
}

const Case kCases[] = {
    {"inside", false, 100, 50, 40, 30, 40, 30, 43},
    {"left edge", false, -15, 50, 40, 30, 40, 30, 43},
    {"right edge", false, 620, 50, 40, 30, 40, 30, 43},
    {"top edge", false, 100, -10, 40, 30, 40, 30, 40},
    {"bottom edge", false, 100, 470, 40, 30, 40, 30, 47},
    {"top-left corner", false, -7, -9, 40, 30, 40, 30, 40},
    {"bottom-right corner", false, 630, 470, 40, 30, 40, 30, 41},
    {"bottom-left corner", false, -3, 475, 40, 30, 40, 30, 40},
    {"top-right corner", false, 625, -2, 40, 30, 40, 30, 40},
    {"ending on the edges", false, 600, 450, 40, 30, 40, 30, 40},
    {"the whole screen", false, 0, 0, 640, 480, 640, 480, 640},
    {"over every edge", false, -10, -10, 700, 500, 700, 500, 700},
    {"bottom-up, left edge", false, -5, 200, 40, 30, 40, 30, -43},
    {"off the right", false, 640, 0, 40, 30, 40, 30, 40},
    {"off the left", false, -40, 0, 40, 30, 40, 30, 40},
    {"off the top", false, 0, -30, 40, 30, 40, 30, 40},
    {"off the bottom", false, 0, 480, 40, 30, 40, 30, 40},
    {"no width", false, 10, 10, 0, 30, 40, 30, 40},
    {"negative height", false, 10, 10, 40, -5, 40, 30, 40},
    {"far left", false, INT_MIN + 5, 40, 10, 10, 10, 10, 10},
    {"wider than any image", false, 630, 30, INT_MAX, 2, 16, 2, 16},
    {"an 8888 image", false, 10, 10, 8, 8, 32, 8, 32, kx8888},
    // Stretches: 2x (column 319 skipped, row 239 taken by row 479), the
    // same size (column and row 99 skipped), reductions, odd sizes over the
    // edges, one pixel, a column step past 32 bits.
    {"2x", true, 0, 0, 640, 480, 320, 240, 320},
    {"2x clipped top-left", true, -100, -50, 640, 480, 320, 240, 330},
    {"2x clipped bottom-right", true, 500, 400, 300, 200, 320, 240, 320},
    {"same size", true, 50, 50, 100, 100, 100, 100, 100},
    {"same size clipped top-left", true, -50, -50, 100, 100, 100, 100, 101},
    {"same size clipped bottom-right", true, 590, 430, 100, 100, 100, 100, 100},
    {"reduction", true, 10, 10, 160, 120, 640, 480, 640},
    {"reduction clipped", true, -30, 400, 160, 120, 640, 480, 641},
    {"odd sizes over every edge", true, -37, -10, 700, 500, 41, 29, 44},
    {"tall source, bottom-right", true, 600, 440, 300, 200, 7, 300, 7},
    {"tiny source over every edge", true, -60, -20, 700, 500, 3, 2, 3},
    {"bottom-up", true, 380, 20, 80, 32, 40, 16, -40},
    {"bottom-up clipped", true, 600, -5, 80, 32, 40, 16, -41},
    {"to one pixel", true, 5, 5, 1, 1, 100, 100, 100},
    {"column step past 32 bits", true, 30, 300, 2, 1, 70000, 1, 70000},
    {"off the screen", true, 640, 0, 50, 50, 10, 10, 10},
    {"no source width", true, 0, 0, 8, 8, 0, 8, 8},
    {"negative source height", true, 0, 0, 8, 8, 8, -1, 8},
    {"far down", true, 0, INT_MAX - 5, 10, 100, 8, 8, 8},
    {"a 565 image", true, 0, 0, 16, 16, 16, 16, 32, kx565},
};

struct ReadBackCase {
    const char* what;
    int32_t width, height, pitch;
    uint32_t format;
};

const ReadBackCase kReadBacks[] = {
    {"a corner", 10, 7, 33, kx888},
    {"the screen", 640, 480, 1920, kx888},
    {"wider and taller", 700, 500, 2101, kx888},
    {"bottom-up", 20, 5, -60, kx888},
    {"no rows", 20, 0, 60, kx888},
    {"8888", 10, 10, 40, kx8888},
};

// A host buffer for BltFromCard, with room around it.
struct ReadBackBuffer {
    std::vector<uint8_t> bytes;
    uint8_t* first = nullptr;
    explicit ReadBackBuffer(const ReadBackCase& c) {
        const int64_t rows = std::max(c.height, 1);
        bytes.resize(size_t(std::llabs(int64_t{c.pitch}) * rows + 4096));
        first = bytes.data() + 2048 + (c.pitch < 0 ? -int64_t{c.pitch} * (rows - 1) : 0);
    }
};

// Every case once through the recorder (once per process: the recorder
// starts recording at its first call and keeps its file), then the driver
// itself, loaded by name as a host loads it.
struct Recording {
    std::vector<Image> images;
    std::vector<ReadBackBuffer> readBacks;
    std::vector<uint32_t> palette = identityPalette();
    Trace trace;
    LoadedDriver driver;
};

Recording& recording() {
    static Recording* made = [] {
        auto* rec = new Recording;
        for (const Case& c : kCases)
            rec->images.emplace_back(c);
        for (const ReadBackCase& c : kReadBacks)
            rec->readBacks.emplace_back(c);
        const std::string path =
            ::testing::TempDir() + "/recorded_reads_" + std::to_string(getpid()) + ".kxtrace";
        LoadedDriver recorder;
        if (!loadRecorder(recorder, path)) return rec;
        const KxEntryPoints& r = recorder.api;
        EXPECT_EQ(r.Init(), 1);
        // Each blit from an image of random indices, then the read-backs of
        // the frame on the screen.
        std::mt19937 rng(7);
        for (size_t i = 0; i < rec->images.size(); ++i) {
            Image& image = rec->images[i];
            for (uint8_t& b : image.bytes)
                b = uint8_t(rng() % 255);
            blit(r, kCases[i], image.first, rec->palette.data());
        }
        r.PageFlip();
        for (size_t i = 0; i < rec->readBacks.size(); ++i) {
            const ReadBackCase& c = kReadBacks[i];
            r.BltFromCard(rec->readBacks[i].first, 0, 0, c.width, c.height, c.pitch, c.format);
        }
        r.Shutdown(); // flushes the trace
        std::string error;
        EXPECT_TRUE(readTraceFile(path, rec->trace, error)) << error;
        std::remove(path.c_str());
        EXPECT_TRUE(loadDriver(rec->driver, error, binFolder() + "libkxpwrvr.so")) << error;
        return rec;
    }();
    return *made;
}

} // namespace

TEST(RecordedReads, BlitsStoreExactlyTheBytesTheDriverReads) {
    Recording& rec = recording();
    ASSERT_TRUE(rec.driver.library);
    const KxEntryPoints& api = rec.driver.api;
    ASSERT_EQ(api.Init(), 1);
    ASSERT_EQ(api.BltToCard(nullptr, 0, 0, 0, 0, 0, 0, nullptr), 1); // renders the frame
    std::mt19937 rng(8);
    for (size_t i = 0; i < rec.images.size(); ++i) {
        const Case& c = kCases[i];
        SCOPED_TRACE(c.what);
        Image& image = rec.images[i];
        uint32_t entry = c.stretch ? kEntry_StretchBltToCard : kEntry_BltToCard;
        const Stored stored = storedFor(rec.trace, entry, image.first);
        const MemoryRows& m = stored.rows;
        // What was stored is what the image held.
        for (uint32_t row = 0; stored.found && row < m.rows; ++row)
            ASSERT_EQ(std::memcmp(&stored.data[size_t(row) * m.rowBytes],
                                  &image.at(m.offset + int64_t(row) * m.pitch), m.rowBytes),
                      0)
                << "row " << row;
        for (int keyed = 0; keyed < 2; ++keyed) {
            api.ssChromaKey(keyed, kKey);
            // Nothing outside the stored rows is read...
            fill(image, m, 0, rng);
            paintBackBuffer();
            blit(api, c, image.first, rec.palette.data());
            EXPECT_FALSE(poisonOnScreen()) << "a byte outside the recorded rows was read";
            // ...and every edge of them is.
            for (int edge = 1; stored.found && edge <= 4; ++edge) {
                fill(image, m, edge, rng);
                paintBackBuffer();
                blit(api, c, image.first, rec.palette.data());
                EXPECT_TRUE(poisonOnScreen()) << "recorded edge " << edge << " was not read";
            }
            fill(image, m, 0, rng);
            poisonOutside(image, m);
            blit(api, c, image.first, rec.palette.data());
            unpoison(image);
        }
    }
    api.Shutdown();
}

TEST(RecordedReads, ReadBackHashesExactlyTheBytesTheDriverWrites) {
    Recording& rec = recording();
    ASSERT_TRUE(rec.driver.library);
    const KxEntryPoints& api = rec.driver.api;
    ASSERT_EQ(api.Init(), 1);
    api.PageFlip();
    for (size_t i = 0; i < rec.readBacks.size(); ++i) {
        const ReadBackCase& c = kReadBacks[i];
        SCOPED_TRACE(c.what);
        ReadBackBuffer& buffer = rec.readBacks[i];
        const Stored stored = storedFor(rec.trace, kEntry_BltFromCard, buffer.first);
        // A byte is written when two read-backs over different fills agree.
        std::vector<uint8_t>& b = buffer.bytes;
        std::fill(b.begin(), b.end(), 0xAA);
        api.BltFromCard(buffer.first, 0, 0, c.width, c.height, c.pitch, c.format);
        const std::vector<uint8_t> first = b;
        std::fill(b.begin(), b.end(), 0x55);
        api.BltFromCard(buffer.first, 0, 0, c.width, c.height, c.pitch, c.format);
        const int64_t low = b.data() - buffer.first;
        const std::vector<bool> hashed = rowMask(stored.rows, low, low + int64_t(b.size()));
        for (size_t k = 0; k < b.size(); ++k)
            ASSERT_EQ(first[k] == b[k], hashed[k]) << "byte " << int64_t(k) + low;
    }
    api.Shutdown();
}
