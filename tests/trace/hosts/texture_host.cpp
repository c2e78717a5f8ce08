// A host that changes texture pixels in its own memory between selections,
// for the recorder test: each change reaches the screen only if the driver
// converts the texture again (first selection, ModifyTexture, LoadPalette),
// and the host checks that it does. Run directly, through the recorder and as
// a replay, its frames must be the same.
//
//   kxtrace_texture_host --driver PATH --out DIR
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/driver_loader.h"
#include "host/frame_grab.h"
#include "host/host_system.h"
#include "host/png_writer.h"

namespace {

constexpr int kSide = 64;
const KxEntryPoints* api = nullptr;

struct Texture {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kSide * kSide);
    std::vector<uint32_t> palette; // empty: the global palette
    TextureRecord* handle = nullptr;
    int x = 0; // quad's left edge on the screen
};

std::vector<uint32_t> palette(uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4) {
    std::vector<uint32_t> p(256, 0xFF000000);
    p[1] = c1;
    p[2] = c2;
    p[3] = c3;
    p[4] = c4;
    return p;
}

void fill(Texture& t, uint8_t index) {
    std::memset(t.pixels.data(), index, t.pixels.size());
}

void load(Texture& t, int x) {
    t.x = x;
    t.handle = api->LoadTexture(t.pixels.data(), kSide, kSide, 0, 0, 0,
                                t.palette.empty() ? nullptr : t.palette.data());
}

void draw(const Texture& t) {
    api->SelectTexture(t.handle);
    const float x0 = float(t.x), x1 = x0 + 100, y0 = 100, y1 = 200;
    HostVertex quad[4] = {{x0, y0, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                          {x1, y0, 0.5f, 1, 1, 0, 0xFFFFFFFF},
                          {x1, y1, 0.5f, 1, 1, 1, 0xFFFFFFFF},
                          {x0, y1, 0.5f, 1, 0, 1, 0xFFFFFFFF}};
    api->DrawPrimitive(quad, 4);
}

// The read-back of a colour on the 565 display.
uint32_t shown(uint32_t colour) {
    return colour & 0xF8FCF8;
}

int failures = 0;

void expect(const RgbImage& frame, int number, const Texture& t, const char* what,
            uint32_t colour) {
    const uint8_t* p = &frame.rgb[(150 * size_t(frame.width) + size_t(t.x) + 50) * 3];
    uint32_t got = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    if (got == shown(colour)) return;
    std::printf("texture_host: frame %d, %s: shows %06X, expected %06X\n", number, what, got,
                shown(colour));
    ++failures;
}

bool endFrame(const std::string& dir, int number, RgbImage& frame, std::string& error) {
    api->PageFlip();
    frame = readBackFrame(*api, 640, 480);
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%04d.png", number);
    return writePng(dir + name, frame.width, frame.height, frame.rgb.data(), frame.width * 3,
                    error);
}

} // namespace

int main(int argc, char** argv) {
    std::string driverPath, out;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--driver")) driverPath = argv[i + 1];
        if (!std::strcmp(argv[i], "--out")) out = argv[i + 1];
    }
    LoadedDriver driver;
    std::string error;
    if (out.empty() || !loadDriver(driver, error, driverPath)) {
        std::fprintf(stderr, "texture_host: %s (usage: --driver PATH --out DIR)\n", error.c_str());
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    api = &driver.api;
    if (!api->Init()) return 2;
    api->ssChromaKey(0, 0);
    api->ssAlphaBlend(0);
    std::vector<uint32_t> global1 = palette(0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00);
    std::vector<uint32_t> global2 = palette(0xFF00FFFF, 0xFFFF00FF, 0xFF808080, 0xFF000000);
    api->LoadPalette(global1.data());

    // g: global palette; m: own palette, changed through ModifyTexture; c:
    // changed before its first selection; d: told to take another image while
    // not resident (the driver keeps the first); s: own palette, changed with
    // nothing to make the driver read it again.
    Texture g, m, c, d, s;
    m.palette = palette(0xFFFFFFFF, 0xFFFF8000, 0, 0);
    s.palette = palette(0xFF204060, 0xFFC0A080, 0, 0);
    for (Texture* t : {&g, &m, &c, &d, &s})
        fill(*t, 1);
    load(g, 10);
    load(m, 130);
    load(c, 250);
    load(d, 370);
    load(s, 490);
    std::vector<uint8_t> other(kSide * kSide, 4);
    api->ModifyTexture(d.handle, other.data());
    fill(c, 3);

    RgbImage frame;
    for (Texture* t : {&g, &m, &c, &s})
        draw(*t);
    bool ok = endFrame(out, 0, frame, error);
    expect(frame, 0, g, "global-palette texture", global1[1]);
    expect(frame, 0, m, "own-palette texture", m.palette[1]);
    expect(frame, 0, c, "texture changed before its first selection", global1[3]);
    expect(frame, 0, s, "unchanged texture", s.palette[1]);

    fill(g, 2);
    fill(m, 2);
    fill(d, 2);
    fill(s, 2);
    api->ModifyTexture(m.handle, m.pixels.data());
    api->LoadPalette(global2.data());
    for (Texture* t : {&g, &m, &c, &d, &s})
        draw(*t);
    ok = endFrame(out, 1, frame, error) && ok;
    expect(frame, 1, g, "texture converted again by LoadPalette", global2[2]);
    expect(frame, 1, m, "texture converted again by ModifyTexture", m.palette[2]);
    expect(frame, 1, c, "texture converted again by LoadPalette", global2[3]);
    expect(frame, 1, d, "texture first selected after a refused ModifyTexture", global2[2]);
    expect(frame, 1, s, "texture changed without a conversion", s.palette[1]);

    api->ResetTextures();
    api->Shutdown();
    unloadDriver(driver);
    if (!ok) std::fprintf(stderr, "texture_host: %s\n", error.c_str());
    std::printf("texture_host: %d unexpected colour%s\n", failures, failures == 1 ? "" : "s");
    return ok && failures == 0 ? 0 : 1;
}
