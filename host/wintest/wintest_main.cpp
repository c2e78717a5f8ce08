// kxwintest: a Windows host that loads the driver by name, as a host engine
// does, and checks it against the system's own DirectDraw: start-up with the
// display taken over, frames of primitives and blits shown with PageFlip and
// read back pixel for pixel, a resolution change, shut-down with the display
// given back, and a second start.
//
// Prints "ok:"/"FAIL:" lines and a final "DONE: N failure(s)"; the exit code
// is 0 only without failures.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "host/wintest/display_probe.h"
#include "host/wintest/driver_exports.h"
#include "host/wintest/host_window.h"
#include "host/wintest/report.h"
#include "host/wintest/screen_model.h"
#include "host/wintest/vtable_order.h"
#include "host/wintest/watchdog.h"

namespace {

using kx::HostVertex;

// Wider than a row of 640 read-back pixels: the bytes between rows must stay.
constexpr int kReadBackPitch = kScreenWidth * 3 + 5;
constexpr uint8_t kUntouched = 0xA5;
constexpr int kFormatIndexed = 0;
constexpr int kFormat888 = 2;

// Host colours with bits below the 565 cut set in every component and with
// varying alpha, so that a converter that rounds or keeps alpha shows.
void makePalette(uint32_t (&palette)[256], int seed) {
    for (uint32_t k = 0; k < 256; ++k) {
        const uint32_t red = (k * 37 + 11 + seed) & 0xFF;
        const uint32_t green = (k * 91 + 3 + seed * 5) & 0xFF;
        const uint32_t blue = (k * 53 + 7 + seed * 3) & 0xFF;
        palette[k] = (k << 24) | (red << 16) | (green << 8) | blue;
    }
}

void tableOf(const uint32_t (&palette)[256], uint16_t (&table)[256]) {
    for (int k = 0; k < 256; ++k)
        table[k] = hostColourTo565(palette[k]);
}

// An 8-bit image whose rows are `pitch` bytes; the bytes past the width hold
// 0xEE and must never reach the screen.
std::vector<uint8_t> makeImage(int width, int height, int pitch, int seed) {
    std::vector<uint8_t> image(static_cast<size_t>(pitch) * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image[y * pitch + x] = static_cast<uint8_t>(x * 7 + y * 13 + seed + ((x * y) >> 3));
    return image;
}

// A flat-coloured rectangle [x0, x1) x [y0, y1) as one four-vertex fan.
void drawRect(const DriverExports& api, float x0, float y0, float x1, float y1, uint32_t colour) {
    HostVertex fan[4] = {{x0, y0, 0.5f, 1.0f, 0.0f, 0.0f, colour},
                         {x1, y0, 0.5f, 1.0f, 0.0f, 0.0f, colour},
                         {x1, y1, 0.5f, 1.0f, 0.0f, 0.0f, colour},
                         {x0, y1, 0.5f, 1.0f, 0.0f, 0.0f, colour}};
    api.DrawPrimitive(fan, 4);
}

// The flipping chain as the host expects it: front, back, second back. A
// flip shows the back buffer; the old front becomes the second back buffer.
struct Chain {
    ScreenModel buffer[3];
    int front = 0;
    ScreenModel& back() { return buffer[(front + 1) % 3]; }
    const ScreenModel& shown() const { return buffer[front]; }
    void flip() { front = (front + 1) % 3; }
};

// Reads the whole screen back and compares it with the expected front buffer.
void checkScreen(const DriverExports& api, const ScreenModel& expected, const char* what) {
    std::vector<uint8_t> readBack(static_cast<size_t>(kReadBackPitch) * kScreenHeight, kUntouched);
    const int result = api.BltFromCard(readBack.data(), 0, 0, kScreenWidth, kScreenHeight,
                                       kReadBackPitch, kFormat888);
    if (result != 1) fail("%s: BltFromCard returned %d", what, result);
    int gapBytesWritten = 0;
    for (int y = 0; y < kScreenHeight; ++y)
        for (int i = kScreenWidth * 3; i < kReadBackPitch; ++i)
            gapBytesWritten += readBack[y * kReadBackPitch + i] != kUntouched;
    if (gapBytesWritten)
        fail("%s: BltFromCard wrote %d bytes between destination rows", what, gapBytesWritten);
    compareReadBack(expected, readBack.data(), kReadBackPitch, what);
    pumpMessages();
}

void checkDisplayMode(DWORD width, DWORD height, DWORD bits, const char* when) {
    const DisplayMode mode = currentDisplayMode();
    check(mode.width == width && mode.height == height && mode.bitsPerPixel == bits,
          "%s: display mode %lux%lux%lu (expected %lux%lux%lu)", when, mode.width, mode.height,
          mode.bitsPerPixel, width, height, bits);
}

// Init, with the display taken over: the mode set, the cursor hidden, a
// black chain on screen.
void startDriver(const DriverExports& api, HWND window, int cursorAtStart, Chain& chain,
                 const char* when) {
    pumpMessages();
    check(GetActiveWindow() == window, "%s: the host window is the active window", when);
    if (!check(api.Init() == 1, "%s: Init returns 1", when)) return;
    checkDisplayMode(640, 480, 16, when);
    check(cursorCounter() == cursorAtStart - 1, "%s: the cursor is hidden (counter %d)", when,
          cursorCounter());
    chain = Chain();
    checkScreen(api, chain.shown(), when);
}

// Shutdown, with the display given back.
void stopDriver(const DriverExports& api, int cursorAtStart, const DisplayMode& desktop,
                const char* when) {
    api.Shutdown();
    pumpMessages();
    checkDisplayMode(desktop.width, desktop.height, desktop.bitsPerPixel, when);
    check(cursorCounter() == cursorAtStart, "%s: the cursor counter is back at %d", when,
          cursorAtStart);
}

void checkIdentification(const DriverExports& api) {
    const char* id = api.GetID();
    check(id && std::strcmp(id, "PowerVR PCX-2") == 0 && api.GetID() == id,
          "GetID names the device, the same text every call");
    const void* guid = api.GetGuid();
    check(guid && api.GetGuid() == guid, "GetGuid gives one GUID");
    check(api.Detect() == 1, "Detect accepts sgl.dll beside the driver");
}

void firstSession(const DriverExports& api, HWND window, int cursorAtStart,
                  const DisplayMode& desktop) {
    Chain chain;
    // ddraw.dll comes in with the first Init. (Wine keeps it loaded once it
    // was, so its unloading at Shutdown cannot be seen from here.)
    startDriver(api, window, cursorAtStart, chain, "first Init");
    check(ddrawLoaded(), "the driver loaded ddraw.dll");
    if (failureCount()) return;
    check(api.Init() == 1, "Init while running returns 1");
    check(api.Pause() == 1 && api.Restore() == 1, "Pause and Restore return 1");

    uint32_t palette1[256], palette2[256];
    uint16_t table1[256], table2[256];
    makePalette(palette1, 0);
    makePalette(palette2, 101);
    tableOf(palette1, table1);
    tableOf(palette2, table2);

    // Frame 1: an 8-bit image with its own palette, at an odd x (a row start
    // that is not 4-byte aligned), rows narrower than their pitch.
    const std::vector<uint8_t> image1 = makeImage(75, 50, 80, 1);
    check(api.BltToCard(image1.data(), 37, 21, 75, 50, 80, kFormatIndexed, palette1) == 1,
          "frame 1: BltToCard returns 1");
    api.PageFlip();
    chain.back().clear();
    chain.back().drawIndexed(image1.data(), 37, 21, 75, 50, 80, table1);
    chain.flip();
    checkScreen(api, chain.shown(), "frame 1 (blit)");

    // Frame 2: two flat-coloured fans; the image of frame 1 is gone.
    const uint32_t blue = 0xFF3A7FC5, orange = 0xFFF0A01B;
    drawRect(api, 160, 120, 480, 360, blue);
    drawRect(api, 500, 20, 620, 90, orange);
    api.PageFlip();
    chain.back().clear();
    chain.back().fillRect(160, 120, 480, 360, hostColourTo565(blue));
    chain.back().fillRect(500, 20, 620, 90, hostColourTo565(orange));
    chain.flip();
    checkScreen(api, chain.shown(), "frame 2 (fans)");

    // Frame 3: a fan under three blits: one through the palette loaded with
    // LoadPalette, one stretched 2x, one keyed so that the fan shows through.
    const uint32_t green = 0xFF21C864;
    const uint32_t key = palette1[5] ^ 0x00030103; // differs only below the 565 cut
    const std::vector<uint8_t> image2 = makeImage(40, 30, 40, 2);
    const std::vector<uint8_t> image3 = makeImage(16, 16, 16, 3);
    const std::vector<uint8_t> image4 = makeImage(60, 40, 64, 4);
    drawRect(api, 100, 80, 400, 300, green);
    api.LoadPalette(palette2);
    check(api.BltToCard(image2.data(), 300, 250, 40, 30, 40, kFormatIndexed, nullptr) == 1,
          "frame 3: BltToCard with the loaded palette returns 1");
    check(api.StretchBltToCard(image3.data(), 500, 400, 32, 32, 16, 16, 16, kFormatIndexed,
                               palette1) == 1,
          "frame 3: StretchBltToCard returns 1");
    api.ssChromaKey(1, key);
    check(api.BltToCard(image4.data(), 120, 100, 60, 40, 64, kFormatIndexed, palette1) == 1,
          "frame 3: keyed BltToCard returns 1");
    api.ssChromaKey(0, 0);
    api.PageFlip();
    chain.back().clear();
    chain.back().fillRect(100, 80, 400, 300, hostColourTo565(green));
    chain.back().drawIndexed(image2.data(), 300, 250, 40, 30, 40, table2);
    chain.back().drawIndexedScaled(image3.data(), 500, 400, 32, 32, 16, 2, 2, table1);
    chain.back().drawIndexed(image4.data(), 120, 100, 60, 40, 64, table1, hostColourTo565(key));
    chain.flip();
    checkScreen(api, chain.shown(), "frame 3 (fan under blits)");

    // Frame 4: a 320x240 render area. A fan over the whole screen fills only
    // that corner; the rest of the buffer still holds frame 1, three flips ago.
    check(api.ChangeResolution(1) == 1, "ChangeResolution(1) returns 1");
    const uint32_t grey = 0xFF9C9C9C;
    drawRect(api, 0, 0, 640, 480, grey);
    api.PageFlip();
    chain.back().clear(320, 240);
    chain.back().fillRect(0, 0, 640, 480, hostColourTo565(grey), 320, 240);
    chain.flip();
    checkScreen(api, chain.shown(), "frame 4 (320x240 render area)");

    // Frame 5: any other mode code renders 640x480 again; an empty frame is
    // rendered (cleared) and shown all the same.
    check(api.ChangeResolution(7) == 1, "ChangeResolution(7) returns 1");
    api.PageFlip();
    chain.back().clear();
    chain.flip();
    checkScreen(api, chain.shown(), "frame 5 (empty, 640x480)");

    check(api.BltFromCardToCard() == 0, "BltFromCardToCard returns 0");
    api.WaitForIdle();
    stopDriver(api, cursorAtStart, desktop, "first Shutdown");
    api.Shutdown();
    check(cursorCounter() == cursorAtStart, "a second Shutdown changes nothing");
}

void secondSession(const DriverExports& api, HWND window, int cursorAtStart,
                   const DisplayMode& desktop) {
    Chain chain;
    startDriver(api, window, cursorAtStart, chain, "second Init");
    uint32_t palette[256];
    uint16_t table[256];
    makePalette(palette, 37);
    tableOf(palette, table);
    const uint32_t red = 0xFFE01010;
    const std::vector<uint8_t> image = makeImage(100, 60, 100, 5);
    drawRect(api, 40, 200, 600, 440, red);
    api.BltToCard(image.data(), 270, 180, 100, 60, 100, kFormatIndexed, palette);
    api.PageFlip();
    chain.back().clear();
    chain.back().fillRect(40, 200, 600, 440, hostColourTo565(red));
    chain.back().drawIndexed(image.data(), 270, 180, 100, 60, 100, table);
    chain.flip();
    checkScreen(api, chain.shown(), "second start, frame 1 (fan and blit)");
    stopDriver(api, cursorAtStart, desktop, "second Shutdown");
}

int finish() {
    std::printf("DONE: %d failure(s)\n", failureCount());
    std::fflush(stdout);
    return failureCount() != 0;
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // A run takes about 5 s under Wine, and about a minute where the 32-bit
    // Wine runs emulated on a busy machine; a hang is still caught.
    startWatchdog(300);

    checkDirectDrawMethodOrder();
    HWND window = createHostWindow();
    if (!check(window != nullptr, "the host window exists")) return finish();
    check(GetActiveWindow() == window, "GetActiveWindow finds the host window");
    const DisplayMode desktop = currentDisplayMode();
    note("desktop mode %lux%lux%lu", desktop.width, desktop.height, desktop.bitsPerPixel);
    const int cursorAtStart = cursorCounter();

    DriverExports api;
    if (loadDriverExports(api) != 0) return finish();
    note("kxpwrvr.dll loaded, 28 entry points found");
    check(!ddrawLoaded(), "ddraw.dll is not loaded before Init");
    checkIdentification(api);

    firstSession(api, window, cursorAtStart, desktop);
    if (failureCount() == 0) secondSession(api, window, cursorAtStart, desktop);

    DestroyWindow(window);
    return finish();
}
